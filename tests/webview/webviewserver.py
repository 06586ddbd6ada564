"""A populated repository and the real `kivo-repo serve` on it, for the web view's tests.

The repository is a file in a temporary folder or, with KIVO_PG_ENV naming the environment of
the test cluster (tests/pg/cluster.sh), a fresh database of that cluster. Objects are written
and activated by kivo_activate_probe, as a client would.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.error
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from kivotest import program, tool  # noqa: E402


def cluster_environment():
    """The cluster's settings, or None when the test runs on a repository file."""
    path = os.environ.get("KIVO_PG_ENV")
    if not path:
        return None
    with open(path, encoding="utf-8") as env:
        return dict(line.strip().partition("=")[::2] for line in env)


class Repository:
    def __init__(self, cluster):
        self.dir = tempfile.mkdtemp(prefix="kivo-webview-")
        if cluster:
            name = "WEBVIEW%d" % os.getpid()
            self.host = "%s:%s@%s" % (cluster["KIVO_PG_HOST"], cluster["KIVO_PG_PORT"], name)
            self.target = "postgresql://%s:%s@%s" % (
                cluster["KIVO_PG_ADMIN"], cluster["KIVO_PG_ADMIN_PASSWORD"], self.host)
        else:
            self.target = os.path.join(self.dir, "repo.db")
            self.host = "file:" + self.target
        tool("kivo-repo", "init", self.target)
        tool("kivo-repo", "user", self.target, "dev", "pw")
        tool("kivo-repo", "user", self.target, "other", "pw2")

    def put(self, *objects):
        """Writes and activates each (package, name, suffix, content) in turn as user dev."""
        words = [word for entry in objects for word in entry]
        out = tool("kivo_activate_probe", self.host, "DEV", "pw", "put", *words)
        assert out.count("activation 0") == len(objects), out

    def remove(self):
        if self.target.startswith("postgresql://"):
            tool("kivo-repo", "drop", self.target)
        shutil.rmtree(self.dir, ignore_errors=True)


class Server:
    """`kivo-repo serve TARGET --listen 127.0.0.1:0`, with the address it prints."""

    def __init__(self, target):
        self.process = subprocess.Popen(
            [program("kivo-repo"), "serve", target, "--listen", "127.0.0.1:0"],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.search(r"at (http://127\.0\.0\.1:\d+)/", line)
        if not match:
            self.process.kill()
            raise AssertionError("serve printed %r, stderr %r" % (line, self.process.stderr.read()))
        self.url = match.group(1)

    def stop(self):
        self.process.terminate()
        code = self.process.wait(timeout=10)
        assert code == 0, "serve ended with %d: %s" % (code, self.process.stderr.read())


class NoRedirect(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args):
        return None


class Client:
    """An HTTP client that keeps the session cookie and never follows redirects."""

    def __init__(self, url):
        self.url = url
        self.cookie = None
        self.opener = urllib.request.build_opener(NoRedirect)

    def request(self, path, data=None, method=None):
        headers = {"Cookie": self.cookie} if self.cookie else {}
        body = urllib.parse.urlencode(data).encode() if data is not None else None
        request = urllib.request.Request(self.url + path, body, headers, method=method)
        try:
            with self.opener.open(request, timeout=30) as response:
                return response.status, dict(response.headers), response.read().decode()
        except urllib.error.HTTPError as error:
            return error.code, dict(error.headers), error.read().decode()

    def sign_in(self, user, password):
        status, headers, body = self.request("/signin", {"user": user, "password": password})
        if status == 303:
            self.cookie = headers["Set-Cookie"].split(";")[0]
        return status, headers, body
