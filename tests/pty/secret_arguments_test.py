#!/usr/bin/env python3
"""Passwords on the command line: kivo, kivo-repo and zevuserstore take them out of their
arguments as they start (/proc/PID/cmdline never shows them) and are not dumpable while they hold
one. Each is caught while it waits: for its browser, a server, a locked file or its key store (a
named pipe). Not dumpable means /proc files owned by root, so as root the programs run as nobody."""
import hashlib
import os
import socket
import sqlite3
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from kivotest import check, program, wait_for  # noqa: E402

CHILD_UID = 65534 if os.geteuid() == 0 else None


class Run:
    """A program of the build started with passwords (secrets) among its arguments."""

    def __init__(self, tmp, secrets, name, *args, **env):
        self.secrets = secrets
        self.process = subprocess.Popen([program(name), *args], cwd=tmp, user=CHILD_UID,
                                        env=dict(os.environ, **env), stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)

    def arguments(self):
        with open("/proc/%d/cmdline" % self.process.pid, "rb") as cmdline:
            return cmdline.read().decode("utf-8", "replace")

    def dumpable(self):
        return os.stat("/proc/%d/status" % self.process.pid).st_uid != 0

    def expect_hidden(self, shown):
        """The arguments hold none of the secrets but the masked form shown, and the process is
        not dumpable."""
        text = self.arguments()
        check(not any(secret in text for secret in self.secrets),
              "password in the process listing", repr(text))
        check(shown in text, "masked argument", repr(text))
        check(not self.dumpable(), "a process with a password is dumpable", repr(text))

    def finish(self, status):
        """Waits for the end, which must have the exit status; returns the output."""
        out, err = self.process.communicate(timeout=30)
        text = (out + err).decode("utf-8", "replace")
        check(not any(secret in text for secret in self.secrets), "password in the output", text)
        check(status is None or self.process.returncode == status, "exit status", text)
        return text


def kivo_waiting_for_its_browser(tmp):
    browser = os.path.join(tmp, "browser.sh")
    with open(browser, "w") as f:  # says it was started and waits until the test lets it go
        f.write("#!/bin/sh\ntouch %s/started\n"
                "i=0; while [ ! -e %s/go ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n"
                % (tmp, tmp))
    os.chmod(browser, 0o755)
    secrets = ["Kivo-Secret-1", "Kivo-Secret-2", "Kivo-Secret-3"]
    # Without a password the same run stays dumpable: the check tells the two apart.
    for passwords in ([], ["--passWord=" + secrets[0], "--targetPassWd", secrets[1],
                           "--sslKeyStorePassword=" + secrets[2]]):
        for name in ("started", "go"):
            if os.path.exists(os.path.join(tmp, name)):
                os.remove(os.path.join(tmp, name))
        run = Run(tmp, secrets, "kivo", "help", "--browse", *passwords, BROWSER=browser,
                  TMPDIR=tmp, HOME=tmp)
        wait_for(lambda: os.path.exists(os.path.join(tmp, "started")), "kivo's browser")
        if passwords:
            run.expect_hidden("--passWord=" + "*" * len(secrets[0]))
        else:
            check(run.dumpable(), "kivo without a password is not dumpable")
        open(os.path.join(tmp, "go"), "w").close()
        run.finish(0)


def kivo_repo_waiting_for_a_server(tmp):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    listener.settimeout(10)
    secrets = ["Admin-Secret-9", "User-Secret-8"]
    address = "postgresql://admin:%s@127.0.0.1:%d/ZEV" % (secrets[0], listener.getsockname()[1])
    run = Run(tmp, secrets, "kivo-repo", "user", address, "bob", secrets[1])
    try:
        connection, _ = listener.accept()
    except socket.timeout:
        check("without the team repository" in run.finish(None), "kivo-repo never connected")
        print("kivo-repo with a server address: skipped (built without the team repository)")
        return
    run.expect_hidden("postgresql://admin:%s@127.0.0.1" % ("*" * len(secrets[0])))
    connection.close()
    listener.close()
    text = run.finish(1)
    check("postgresql://admin@127.0.0.1" in text, "kivo-repo's failure", text)


def kivo_repo_waiting_for_a_locked_file(tmp):
    repository = os.path.join(tmp, "repo.db")
    subprocess.run([program("kivo-repo"), "init", repository], check=True, capture_output=True,
                   user=CHILD_UID)
    # SQLite gives the files it adds beside the repository the repository's owner.
    holder = sqlite3.connect(repository, isolation_level=None)
    holder.execute("BEGIN IMMEDIATE")
    secret = "File-User-Secret-7"
    run = Run(tmp, [secret], "kivo-repo", "user", repository, "carol", secret)
    # kivo-repo waits for the lock up to its busy timeout; its arguments change as it starts.
    wait_for(lambda: secret not in run.arguments(), "kivo-repo to hide the password", 5.0)
    run.expect_hidden("carol\0" + "*" * len(secret))
    holder.execute("ROLLBACK")
    holder.close()
    run.finish(0)

    # The password that arrived is the real one, not its mask.
    stored = sqlite3.connect(repository).execute(
        "SELECT password_hash FROM users WHERE name = 'CAROL'").fetchone()[0]
    scheme, iterations, salt, digest = stored.split("$")
    check(scheme == "pbkdf2-sha256", "hash scheme", stored)
    derived = hashlib.pbkdf2_hmac("sha256", secret.encode(), bytes.fromhex(salt), int(iterations),
                                  len(bytes.fromhex(digest)))
    check(derived.hex() == digest, "kivo-repo stored another password", stored)


def zevuserstore_waiting_for_its_key_store(tmp):
    home = os.path.join(tmp, "keys")
    keys = os.path.join(home, "keys")
    os.mkdir(home, 0o700)
    os.mkfifo(keys, 0o600)
    for path in (home, keys):
        if CHILD_UID is not None:
            os.chown(path, CHILD_UID, CHILD_UID)
    secret = "Key-Secret-6"
    run = Run(tmp, [secret], "zevuserstore", "SET", "K1", "file:x", "dave", secret,
              ZEVUSERSTORE_HOME=home)
    with open(keys, "w") as pipe:  # returns once zevuserstore opened the key store
        run.expect_hidden("dave\0" + "*" * len(secret))
        pipe.write("# zevuserstore keys 1\n")
    run.finish(0)
    with open(keys) as stored:
        check(secret in stored.read(), "zevuserstore stored another password")


with tempfile.TemporaryDirectory() as tmp:
    os.chmod(tmp, 0o777)
    tmp = os.path.realpath(tmp)
    kivo_waiting_for_its_browser(tmp)
    kivo_repo_waiting_for_a_server(tmp)
    kivo_repo_waiting_for_a_locked_file(tmp)
    zevuserstore_waiting_for_its_key_store(tmp)
print("passwords in the arguments: ok")
