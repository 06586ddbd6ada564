"""The web view as a browser meets it: `kivo-repo serve` on a populated repository file, or on a
fresh database of the test cluster that KIVO_PG_ENV names. Over HTTP: signed in and not, hostile
names, long lists, requests that would change something. In headless chromium over its DevTools
pipe: the forms work, escaped names run no script, the style sheet applies under the content
security policy, and the session cookie is out of the scripts' reach.

    python3 webview_test.py BUILD_DIR [TEST CLASS...]
"""
import http.client
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from kivotest import program, tool  # noqa: E402

HOSTILE_PACKAGE, HOSTILE_NAME = "p<b>", "x\"&'y"
HOSTILE_QUERY = "package=p%3Cb%3E&name=x%22%26%27y&suffix=txt"
PAGES = ["/packages", "/package?name=acme", "/object?package=acme&name=a&suffix=txt",
         "/annotate?package=acme&name=a&suffix=txt", "/activity", "/changes", "/deliveryunits"]


def setUpModule():
    """The repository, filled by kivo_activate_probe as a client would, and the server on it."""
    global TARGET, SERVE, URL
    cluster = os.environ.get("KIVO_PG_ENV")
    if cluster:
        with open(cluster, encoding="utf-8") as env:
            cluster = dict(line.strip().partition("=")[::2] for line in env)
        if cluster.get("KIVO_PG") != "available":
            raise unittest.SkipTest("no PostgreSQL cluster")
        server = "%s:%s" % (cluster["KIVO_PG_HOST"], cluster["KIVO_PG_PORT"])
        name = "WEBVIEW%d" % os.getpid()
        host = server + "@" + name
        TARGET = "postgresql://%s:%s@%s/%s" % (cluster["KIVO_PG_ADMIN"],
                                               cluster["KIVO_PG_ADMIN_PASSWORD"], server, name)
    else:
        TARGET = os.path.join(tempfile.mkdtemp(prefix="kivo-webview-"), "repo.db")
        host = "file:" + TARGET
    tool("kivo-repo", "init", TARGET)
    tool("kivo-repo", "user", TARGET, "dev", "pw")
    tool("kivo-repo", "user", TARGET, "other", "pw2")

    def put(*objects):
        out = tool("kivo_activate_probe", host, "DEV", "pw", "put",
                   *[word for entry in objects for word in entry])
        assert out.count("activation 0") == len(objects), out

    put(("acme", "a", "txt", "hello\nworld\n"), ("acme", "a", "txt", "hello\nthere\nworld\n"),
        ("acme.sub", "a", "txt", "hello\n"),
        *[("many", "o%03d" % number, "txt", "%d\n" % number) for number in range(105)],
        *[("acme", "long", "txt", "line %d\n" % number) for number in range(12)],
        (HOSTILE_PACKAGE, HOSTILE_NAME, "txt", "<script>document.title='owned'</script>\n"))
    tool("kivo-repo", "set", TARGET, "change_tracking", "on")
    put(("acme", "tracked", "txt", "in a change\n"))
    SERVE = subprocess.Popen([program("kivo-repo"), "serve", TARGET, "--listen", "127.0.0.1:0"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    line = SERVE.stdout.readline()
    match = re.search(r"at (http://127\.0\.0\.1:\d+)/", line)
    if not match:
        SERVE.kill()
        raise AssertionError("serve printed %r, stderr %r" % (line, SERVE.stderr.read()))
    URL = match.group(1)


def tearDownModule():
    SERVE.terminate()
    code = SERVE.wait(timeout=10)
    if TARGET.startswith("postgresql://"):
        tool("kivo-repo", "drop", TARGET)
    else:
        shutil.rmtree(os.path.dirname(TARGET))
    assert code == 0, "serve ended with %d: %s" % (code, SERVE.stderr.read())


class Client:
    """An HTTP client that keeps the session cookie and never follows redirects."""

    def __init__(self):
        self.cookie = None

    def request(self, path, data=None, method=None):
        headers = {"Cookie": self.cookie} if self.cookie else {}
        if data is not None:
            headers["Content-Type"] = "application/x-www-form-urlencoded"
        connection = http.client.HTTPConnection(URL[len("http://"):], timeout=30)
        connection.request(method or ("GET" if data is None else "POST"), path,
                           None if data is None else urllib.parse.urlencode(data), headers)
        with connection.getresponse() as response:
            return response.status, dict(response.headers), response.read().decode()

    def sign_in(self, user, password):
        status, headers, body = self.request("/signin", {"user": user, "password": password})
        if status == 303:
            self.cookie = headers["Set-Cookie"].split(";")[0]
        return status, headers, body


class WebView(unittest.TestCase):
    maxDiff = 2000

    def signed_in(self):
        client = Client()
        status, _, _ = client.sign_in("dev", "pw")
        self.assertEqual(status, 303)
        return client

    def test_nothing_is_shown_before_signing_in_or_after_signing_out(self):
        client = Client()
        for page in PAGES + ["/change?id=x", "/deliveryunit?name=x&vendor=y"]:
            status, headers, body = client.request(page)
            self.assertEqual((status, headers.get("Location")), (303, "/signin"), page)
            self.assertNotIn("acme", body)
        status, _, body = client.request("/signin")
        self.assertEqual(status, 200)
        self.assertIn('type="password"', body)

        client = self.signed_in()
        old = client.cookie
        status, headers, _ = client.request("/signout", {})
        self.assertEqual((status, headers["Location"]), (303, "/signin"))
        self.assertIn("Max-Age=0", headers["Set-Cookie"])
        client.cookie = old
        status, headers, _ = client.request("/packages")
        self.assertEqual((status, headers.get("Location")), (303, "/signin"))

    def test_signing_in_takes_the_password_and_gives_a_session_cookie(self):
        for user, password in [("dev", "wrong"), ("dev", ""), ("nobody", "pw"), ("", "pw")]:
            status, headers, body = Client().sign_in(user, password)
            self.assertEqual(status, 401, user)
            self.assertNotIn("Set-Cookie", headers)
            self.assertIn("Wrong user or password.", body)
        client = Client()
        _, headers, _ = client.sign_in("Dev", "pw")  # user names are upper case
        cookie = headers["Set-Cookie"]
        self.assertRegex(cookie, r"^kivo_session=[0-9a-f]{32};")
        for attribute in ["HttpOnly", "SameSite=Strict", "Path=/", "Max-Age=28800"]:
            self.assertIn(attribute, cookie)
        self.assertNotEqual(client.cookie, self.signed_in().cookie)

    def test_pages_show_what_the_repository_holds_and_escape_hostile_names(self):
        client = self.signed_in()
        _, _, changes = client.request("/changes")
        change = re.search(r'href="/change\?id=([^"]+)"', changes).group(1)
        escaped = (["p&lt;b&gt;"], ["<b>", "<script>"])
        # Each page with texts it must hold and texts it must not.
        for page, present, absent in [(page, [], []) for page in PAGES] + [
                ("/style.css", [], []), ("/package?name=acme&page=2", [], []),
                ("/change?id=" + change, ["tracked.txt", "Signed in as DEV"], []),
                ("/object?package=acme&name=a&suffix=txt",
                 ['<span class="hunk">@@ -1,2 +1,3 @@', '<span class="add">+there'], []),
                ("/annotate?package=acme&name=a&suffix=txt&version=1", ["(version 1)"], ["there"]),
                ("/packages", *escaped), ("/activity", *escaped),
                ("/package?name=p%3Cb%3E", *escaped), ("/annotate?" + HOSTILE_QUERY, *escaped),
                ("/object?" + HOSTILE_QUERY, escaped[0] + [
                    "x&quot;&amp;&#39;y", "+&lt;script&gt;document.title=&#39;owned&#39;"],
                 escaped[1]),
                ("/package?name=many", ["Next page"], []),
                ("/package?name=many&page=2", ['href="/package?name=many&amp;page=1"'],
                 ["Next page"]),
                ("/activity?page=2", ["Previous page"], [])]:
            status, headers, body = client.request(page)
            self.assertEqual(status, 200, page)
            self.assertIn("no-store", headers["Cache-Control"])
            for text in present:
                self.assertIn(text, body, page)
            for text in absent:
                self.assertNotIn(text, body, page)
        self.assertRegex(client.request("/change?id=" + change)[2], r"[01] of 1 validated")

    def test_history_and_annotation_order_the_versions_and_lists_come_in_pages(self):
        client = self.signed_in()
        _, _, body = client.request("/object?package=acme&name=a&suffix=txt")
        self.assertLess(body.index('id="v2"'), body.index('id="v1"'))
        _, _, body = client.request("/annotate?package=acme&name=a&suffix=txt")
        rows = re.findall(r"<tr><td>(\d+)</td><td>DEV</td><td>\d+</td><td class=\"line\">([^<]*)<",
                          body)
        self.assertEqual(rows, [("1", "hello"), ("2", "there"), ("1", "world")])
        for page, links in [("/package?name=many", 100), ("/package?name=many&page=2", 5)]:
            self.assertEqual(client.request(page)[2].count('href="/object?'), links, page)
        _, _, versions = client.request("/object?package=acme&name=long&suffix=txt")
        self.assertEqual(len(re.findall(r'<h2 id="v\d+"', versions)), 10)

    def test_missing_things_answer_404_and_nothing_can_be_changed(self):
        client = self.signed_in()
        for page in ["/object?package=acme&name=nope&suffix=txt", "/package?name=nope",
                     "/change?id=ZEV//999999", "/deliveryunit?name=nope&vendor=x", "/package",
                     "/nosuchpage", "/annotate?package=acme&name=a&suffix=txt&version=9"]:
            status, _, body = client.request(page)
            self.assertEqual(status, 404, page)
            self.assertIn("Not found", body)
        for method in ["PUT", "DELETE", "PATCH"]:
            status, _, _ = client.request("/object?package=acme&name=a&suffix=txt",
                                          method=method)
            self.assertEqual(status, 405, method)
        status, _, _ = client.request("/packages", {"name": "x"})
        self.assertEqual(status, 405)

    def test_serve_refuses_a_missing_file_or_a_bad_address_and_creates_nothing(self):
        missing = os.path.join(tempfile.gettempdir(), "kivo-webview-none-%d.db" % os.getpid())
        for args, message in [([], missing), (["--listen", "127.0.0.1:99999"],
                                              "Invalid listen address")]:
            result = subprocess.run([program("kivo-repo"), "serve", missing, *args],
                                    capture_output=True, text=True, timeout=30)
            self.assertEqual(result.returncode, 1)
            self.assertIn(message, result.stderr)
            self.assertFalse(os.path.exists(missing))


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
        # Closed by its own command, so that its helper processes end with it.
        os.write(self.to_browser, b'{"id": 0, "method": "Browser.close"}\0')
        self.process.wait(timeout=30)
        os.close(self.to_browser)
        os.close(self.from_browser)


@unittest.skipIf(shutil.which("chromium") is None, "chromium is not installed")
class InTheBrowser(unittest.TestCase):
    def test_forms_work_names_stay_text_and_the_cookie_is_out_of_reach(self):
        profile = tempfile.mkdtemp(prefix="kivo-webview-browser-")
        self.addCleanup(shutil.rmtree, profile, ignore_errors=True)
        browser = Browser(profile)
        self.addCleanup(browser.close)
        browser.navigate(URL + "/signin")
        browser.load(lambda: browser.evaluate(
            "document.querySelector('input[name=user]').value = 'dev';"
            "document.querySelector('input[name=password]').value = 'pw';"
            "document.querySelector('form').submit()"))
        self.assertEqual(browser.evaluate("location.pathname"), "/packages")
        self.assertEqual(browser.evaluate("document.cookie"), "")
        texts = browser.evaluate("[...document.querySelectorAll('td a')].map(a => a.textContent)")
        self.assertIn(HOSTILE_PACKAGE, texts)
        self.assertEqual(browser.evaluate("document.querySelectorAll('b, script').length"), 0)
        self.assertEqual(browser.evaluate(
            "getComputedStyle(document.querySelector('td.d1')).paddingLeft"), "24px",
            "the style sheet does not apply")

        browser.navigate(URL + "/object?" + HOSTILE_QUERY)
        self.assertTrue(browser.evaluate("document.title").startswith("Object p<b>/x\"&'y.txt"),
                        "the object page's title is wrong or a script ran")
        self.assertIn("+<script>", browser.evaluate("document.querySelector('pre').textContent"))
        browser.load(lambda: browser.evaluate("document.querySelector('nav form').submit()"))
        self.assertEqual(browser.evaluate("location.pathname"), "/signin")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[2:], verbosity=2)
