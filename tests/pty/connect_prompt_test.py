#!/usr/bin/env python3
"""kivo asks for the repository password on the terminal: prompt shown, typing hidden, and the
password in no output, file or log. Usage: connect_prompt_test.py <build dir>"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from terminal import check, run_in_terminal  # noqa: E402


def main():
    build = os.path.abspath(sys.argv[1])
    kivo = os.path.join(build, "kivo")
    with tempfile.TemporaryDirectory() as work:
        repo = os.path.join(work, "repo.db")
        subprocess.run([os.path.join(build, "kivo-repo"), "init", repo], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run([os.path.join(build, "kivo-repo"), "user", repo, "dev", "Hidden-7"],
                       check=True, stdout=subprocess.DEVNULL)

        text, status, _ = run_in_terminal(
            [kivo, "create", "ws", "ws", "--host=file:" + repo, "--user=dev", "--stdIn"], work,
            b"Hidden-7\n")
        check(os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0, "create failed", text)
        check(text.startswith("Password: "), "no prompt", repr(text))
        check("Hidden-7" not in text, "password echoed", repr(text))
        check('Created workspace "ws"' in text, "workspace not created", repr(text))
        for root, _, files in os.walk(os.path.join(work, "ws")):
            for name in files:
                with open(os.path.join(root, name), "rb") as handle:
                    check(b"Hidden-7" not in handle.read(), "password stored", name)

        text, status, _ = run_in_terminal(
            [kivo, "create", "ws", "bad", "--host=file:" + repo, "--user=dev", "--stdIn"], work,
            b"Wrong-8\n")
        check(os.WIFEXITED(status) and os.WEXITSTATUS(status) == 1, "wrong password accepted",
              text)
        check("Wrong-8" not in text and "<non-empty password>" in text, "failure text",
              repr(text))
        check(not os.path.exists(os.path.join(work, "bad")), "failed workspace left behind", text)
    print("ok")


if __name__ == "__main__":
    main()
