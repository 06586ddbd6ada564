#!/usr/bin/env python3
"""Passwords on the command line: kivo, kivo-repo and zevuserstore take them out of their
arguments as they start (/proc/PID/cmdline never shows them) and are not dumpable while they hold
one. Each is caught while it waits: for its browser, a server, a locked file or its key store (a
named pipe). Not dumpable means /proc files owned by root, so as root the programs run as nobody.
Usage: secret_arguments_test.py <build dir>"""
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


def start(argv, tmp, **env):
    return subprocess.Popen([program(argv[0]), *argv[1:]], cwd=tmp, env=dict(os.environ, **env),
                            user=CHILD_UID, stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def arguments(process):
    with open("/proc/%d/cmdline" % process.pid, "rb") as cmdline:
        return cmdline.read().decode("utf-8", "replace")


def dumpable(process):
    return os.stat("/proc/%d/status" % process.pid).st_uid != 0


def expect_hidden(process, secrets, shown):
    """The running process's arguments hold none of the secrets but the masked form shown, and
    the process is not dumpable."""
    text = arguments(process)
    check(not any(secret in text for secret in secrets), "password in the process listing",
          repr(text))
    check(shown in text, "masked argument", repr(text))
    check(not dumpable(process), "a process with a password is dumpable", repr(text))


def finish(process, secrets):
    out, err = process.communicate(timeout=30)
    text = (out + err).decode("utf-8", "replace")
    check(not any(secret in text for secret in secrets), "password in the output", text)
    return process.returncode, text


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
        process = start(["kivo", "help", "--browse", *passwords], tmp, BROWSER=browser,
                        TMPDIR=tmp, HOME=tmp)
        wait_for(lambda: os.path.exists(os.path.join(tmp, "started")), "kivo's browser")
        if passwords:
            expect_hidden(process, secrets, "--passWord=" + "*" * len(secrets[0]))
        else:
            check(dumpable(process), "kivo without a password is not dumpable")
        open(os.path.join(tmp, "go"), "w").close()
        status, text = finish(process, secrets)
        check(status == 0, "kivo help --browse failed", text)


def kivo_repo_waiting_for_a_server(tmp):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    listener.settimeout(10)
    secrets = ["Admin-Secret-9", "User-Secret-8"]
    address = "postgresql://admin:%s@127.0.0.1:%d/ZEV" % (secrets[0], listener.getsockname()[1])
    process = start(["kivo-repo", "user", address, "bob", secrets[1]], tmp)
    try:
        connection, _ = listener.accept()
    except socket.timeout:
        check("without the team repository" in finish(process, secrets)[1],
              "kivo-repo never connected")
        print("kivo-repo with a server address: skipped (built without the team repository)")
        return
    expect_hidden(process, secrets, "postgresql://admin:%s@127.0.0.1" % ("*" * len(secrets[0])))
    connection.close()
    listener.close()
    status, text = finish(process, secrets)
    check(status == 1 and "postgresql://admin@127.0.0.1" in text, "kivo-repo's failure", text)


def kivo_repo_waiting_for_a_locked_file(tmp):
    repository = os.path.join(tmp, "repo.db")
    subprocess.run([program("kivo-repo"), "init", repository], check=True, capture_output=True,
                   user=CHILD_UID)
    # SQLite gives the files it adds beside the repository the repository's owner.
    holder = sqlite3.connect(repository, isolation_level=None)
    holder.execute("BEGIN IMMEDIATE")
    secret = "File-User-Secret-7"
    process = start(["kivo-repo", "user", repository, "carol", secret], tmp)
    # kivo-repo waits for the lock up to its busy timeout; its arguments change as it starts.
    wait_for(lambda: secret not in arguments(process), "kivo-repo to hide the password", 5.0)
    expect_hidden(process, [secret], "carol\0" + "*" * len(secret))
    holder.execute("ROLLBACK")
    holder.close()
    status, text = finish(process, [secret])
    check(status == 0, "kivo-repo user failed", text)

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
    process = start(["zevuserstore", "SET", "K1", "file:x", "dave", secret], tmp,
                    ZEVUSERSTORE_HOME=home)
    with open(keys, "w") as pipe:  # returns once zevuserstore opened the key store
        expect_hidden(process, [secret], "dave\0" + "*" * len(secret))
        pipe.write("# zevuserstore keys 1\n")
    status, text = finish(process, [secret])
    check(status == 0, "zevuserstore SET failed", text)
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
