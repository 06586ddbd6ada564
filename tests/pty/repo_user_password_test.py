#!/usr/bin/env python3
"""kivo-repo user without PASSWORD: typed at the terminal without echo, or read from a pipe,
and the password set that way is the one the repository checks.

Usage: repo_user_password_test.py <build dir>
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from terminal import check, run_in_terminal  # noqa: E402


def main():
    build = os.path.abspath(sys.argv[1])
    repo_tool = os.path.join(build, "kivo-repo")
    kivo = os.path.join(build, "kivo")
    with tempfile.TemporaryDirectory() as work:
        repo = os.path.join(work, "repo.db")
        subprocess.run([repo_tool, "init", repo], check=True, capture_output=True, timeout=60)

        text, status, typed = run_in_terminal([repo_tool, "user", repo, "ann"], work,
                                              b"typed secret\n")
        check(typed, "no prompt on the terminal", repr(text))
        check(os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0, "user failed", repr(text))
        check("typed secret" not in text, "password echoed", repr(text))
        check("Added user ANN" in text, "user not added", repr(text))

        piped = subprocess.run([repo_tool, "user", repo, "bob"], input=b"piped secret\n",
                               capture_output=True, timeout=60)
        check(piped.returncode == 0, "piped user failed", repr(piped))
        check(piped.stdout == b"Added user BOB\n", "piped output", repr(piped.stdout))

        # Each password is the one the repository now checks.
        for user, password in (("ann", "typed secret"), ("bob", "piped secret")):
            run = subprocess.run([kivo, "create", "workspace", os.path.join(work, user),
                                  "--host=file:" + repo, "--user=" + user,
                                  "--passwd=" + password], cwd=work, capture_output=True,
                                 timeout=60)
            check(run.returncode == 0, "login with the password failed for " + user, repr(run))
    print("kivo-repo user password: ok")


if __name__ == "__main__":
    main()
