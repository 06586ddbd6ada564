"""The web view in headless chromium, driven over its DevTools pipe: the sign-in and sign-out
forms work, escaped names stay text and run no script, the style sheet applies under the page's
content security policy, and the session cookie is out of the scripts' reach. The pages' contents
and redirects are the HTTP tests'.

    python3 browser_test.py BUILD_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from webviewserver import Repository, Server  # noqa: E402


class Browser:
    """chromium --remote-debugging-pipe: requests on its fd 3, answers and events on its fd 4,
    each message JSON ended by a NUL byte."""

    def __init__(self, profile):
        to_browser_read, self.to_browser = os.pipe()
        self.from_browser, from_browser_write = os.pipe()

        def wire_pipes():
            os.dup2(to_browser_read, 3)
            os.dup2(from_browser_write, 4)

        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--remote-debugging-pipe", "--user-data-dir=" + profile,
             "--window-size=1000,800", "about:blank"],
            # 3 and 4 are kept too: the close of other descriptors follows wire_pipes.
            pass_fds=(3, 4, to_browser_read, from_browser_write), preexec_fn=wire_pipes,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self.buffer, self.next_id, self.events, self.session = b"", 0, [], None
        target = self.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.send("Target.attachToTarget",
                                 {"targetId": target, "flatten": True})["sessionId"]
        self.send("Page.enable")

    def send(self, method, params=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if self.session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        while True:
            reply = self.receive()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise AssertionError("%s failed: %s" % (method, reply["error"]))
                return reply["result"]
            self.events.append(reply)

    def receive(self):
        # A browser that hangs is ended by the test's timeout.
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_browser, 65536)
            if not chunk:
                raise AssertionError("the browser ended")
            self.buffer += chunk
        message, _, self.buffer = self.buffer.partition(b"\0")
        return json.loads(message)

    def load(self, action):
        """Runs action (a navigation) and waits until the page it leads to has loaded."""
        loaded = lambda message: message.get("method") == "Page.loadEventFired"  # noqa: E731
        self.events = [e for e in self.events if not loaded(e)]
        action()
        while not any(loaded(e) for e in self.events):
            self.events.append(self.receive())

    def navigate(self, url):
        self.load(lambda: self.send("Page.navigate", {"url": url}))

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        return result["result"].get("value")

    def close(self):
        self.process.kill()
        self.process.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def main():
    if shutil.which("chromium") is None:
        print("chromium is not installed: skipped")
        return
    repo = Repository(None)
    repo.put(("acme.sub", "a", "txt", "hello\n"),
             ("p<b>", "x\"&'y", "txt", "<script>document.title='owned'</script>\n"))
    server = Server(repo.target)
    profile = tempfile.mkdtemp(prefix="kivo-webview-browser-")
    browser = Browser(profile)
    try:
        browser.navigate(server.url + "/signin")
        browser.load(lambda: browser.evaluate(
            "document.querySelector('input[name=user]').value = 'dev';"
            "document.querySelector('input[name=password]').value = 'pw';"
            "document.querySelector('form').submit()"))
        check(browser.evaluate("location.pathname") == "/packages", "signing in failed")
        check(browser.evaluate("document.cookie") == "",
              "the session cookie is visible to scripts")
        texts = browser.evaluate("[...document.querySelectorAll('td a')].map(a => a.textContent)")
        check("p<b>" in texts, "the hostile package name is not shown as text: %r" % texts)
        check(browser.evaluate("document.querySelectorAll('b, script').length") == 0,
              "a name became markup")
        check(browser.evaluate(
            "getComputedStyle(document.querySelector('td.d1')).paddingLeft") == "24px",
            "the style sheet does not apply")

        browser.navigate(server.url + "/object?package=p%3Cb%3E&name=x%22%26%27y&suffix=txt")
        check(browser.evaluate("document.title").startswith("Object p<b>/x\"&'y.txt"),
              "the object page's title is wrong or a script ran")
        check("+<script>" in browser.evaluate("document.querySelector('pre').textContent"),
              "the content is not shown as text")
        browser.load(lambda: browser.evaluate("document.querySelector('nav form').submit()"))
        check(browser.evaluate("location.pathname") == "/signin", "signing out failed")
    finally:
        browser.close()
        server.stop()
        repo.remove()
        shutil.rmtree(profile, ignore_errors=True)
    print("browser test passed")


if __name__ == "__main__":
    main()
