#!/usr/bin/env python3
"""Object names from the repository reach the victim's terminal escaped: a name with an escape
sequence cannot retitle the window, move the cursor or answer back. Another user pushes such a
file with kivo; the victim checks it out on a terminal.
Usage: control_bytes_test.py <build dir>"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from terminal import check, exit_code, run_in_terminal, tool  # noqa: E402

HOSTILE = "evil\x1b]0;owned\x07\x1b[2J\r\u009b.txt"


def main():
    build = os.path.abspath(sys.argv[1])
    kivo = os.path.join(build, "kivo")
    with tempfile.TemporaryDirectory() as work:
        os.environ["ZEVUSERSTORE_HOME"] = os.path.join(work, "keys")
        repo = os.path.join(work, "repo.db")
        tool(build, "kivo-repo", "init", repo)
        for user, key, ws in (("dev", "K1", "ws"), ("other", "K2", "evil")):
            tool(build, "kivo-repo", "user", repo, user, "pw")
            tool(build, "zevuserstore", "SET", key, "file:" + repo, user, "pw")
            tool(build, "kivo", "create", "ws", ws, key, cwd=work)
            os.makedirs(os.path.join(work, ws, "acme"))
        evil, ws = os.path.join(work, "evil"), os.path.join(work, "ws")
        with open(os.path.join(evil, "acme", HOSTILE), "w") as handle:
            handle.write("x")
        tool(build, "kivo", "track", "acme", cwd=evil)
        tool(build, "kivo", "push", cwd=evil)
        tool(build, "kivo", "track", "acme", cwd=ws)

        text, status, _ = run_in_terminal([kivo, "checkout", "-v"], ws, b"", prompt=None)
        check(exit_code(status) == 0, "checkout failed", repr(text))
        check("\x1b" not in text and "\x07" not in text and "\u009b" not in text,
              "raw control bytes reached the terminal", repr(text))
        check("evil\\x1b]0;owned\\x07\\x1b[2J\\x0d\\u009b.txt" in text, "not escaped", repr(text))
        check(os.path.exists(os.path.join(ws, "acme", HOSTILE)), "file not written", text)


if __name__ == "__main__":
    main()
