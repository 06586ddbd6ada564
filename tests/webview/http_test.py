"""The web view over HTTP, as a browser meets it: `kivo-repo serve` on a populated repository
(a file, or with KIVO_PG_ENV a database of the test cluster), signed in and not, with hostile
object names, long lists and requests that would change something.

    python3 http_test.py BUILD_DIR
"""
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from webviewserver import Client, Repository, Server, cluster_environment, program, tool  # noqa

HOSTILE_PACKAGE, HOSTILE_NAME = "p<b>", "x\"&'y"
PAGES = ["/packages", "/package?name=acme", "/object?package=acme&name=a&suffix=txt",
         "/annotate?package=acme&name=a&suffix=txt", "/activity", "/changes", "/deliveryunits"]


class WebView(unittest.TestCase):
    maxDiff = 2000

    @classmethod
    def setUpClass(cls):
        cluster = cluster_environment()
        if cluster is not None and cluster.get("KIVO_PG") != "available":
            raise unittest.SkipTest("no PostgreSQL cluster")
        cls.repo = Repository(cluster)
        cls.repo.put(("acme", "a", "txt", "hello\nworld\n"),
                     ("acme", "a", "txt", "hello\nthere\nworld\n"),
                     *[("many", "o%03d" % number, "txt", "%d\n" % number) for number in range(105)],
                     *[("acme", "long", "txt", "line %d\n" % number) for number in range(12)],
                     (HOSTILE_PACKAGE, HOSTILE_NAME, "txt", "<script>alert(1)</script>\n"))
        tool("kivo-repo", "set", cls.repo.target, "change_tracking", "on")
        cls.repo.put(("acme", "tracked", "txt", "in a change\n"))
        cls.server = Server(cls.repo.target)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.repo.remove()

    def signed_in(self):
        client = Client(self.server.url)
        status, _, _ = client.sign_in("dev", "pw")
        self.assertEqual(status, 303)
        return client

    def test_nothing_is_shown_before_signing_in_or_after_signing_out(self):
        client = Client(self.server.url)
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
            status, headers, body = Client(self.server.url).sign_in(user, password)
            self.assertEqual(status, 401, user)
            self.assertNotIn("Set-Cookie", headers)
            self.assertIn("Wrong user or password.", body)
        client = Client(self.server.url)
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
        hostile = "package=p%3Cb%3E&name=x%22%26%27y&suffix=txt"
        escaped = (["p&lt;b&gt;"], ["<b>", "<script>"])
        # Each page with texts it must hold and texts it must not.
        for page, present, absent in [(page, [], []) for page in PAGES] + [
                ("/style.css", [], []), ("/package?name=acme&page=2", [], []),
                ("/change?id=" + change, ["tracked.txt", "Signed in as DEV"], []),
                ("/object?package=acme&name=a&suffix=txt",
                 ['<span class="hunk">@@ -1,2 +1,3 @@', '<span class="add">+there'], []),
                ("/annotate?package=acme&name=a&suffix=txt&version=1", ["(version 1)"], ["there"]),
                ("/packages", *escaped), ("/activity", *escaped),
                ("/package?name=p%3Cb%3E", *escaped), ("/annotate?" + hostile, *escaped),
                ("/object?" + hostile, escaped[0] + ["x&quot;&amp;&#39;y",
                                                     "+&lt;script&gt;alert(1)&lt;/script&gt;"],
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


class ServeCommandLine(unittest.TestCase):
    def run_serve(self, *args):
        return subprocess.run([program("kivo-repo"), "serve", *args],
                              capture_output=True, text=True, timeout=30)

    def test_bad_target_or_address_fails_without_creating_anything(self):
        folder = os.path.join(os.environ.get("TMPDIR", "/tmp"), "kivo-webview-none-%d" % os.getpid())
        missing = folder + ".db"
        result = self.run_serve(missing)
        self.assertEqual(result.returncode, 1)
        self.assertIn(missing, result.stderr)
        self.assertFalse(os.path.exists(missing))
        result = self.run_serve(missing, "--listen", "127.0.0.1:99999")
        self.assertEqual(result.returncode, 1)
        self.assertIn("Invalid listen address", result.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
