#!/usr/bin/env python3
"""Object names from the repository reach the victim's terminal escaped: a name with an escape
sequence cannot retitle the window, move the cursor or answer back. Another user pushes such a
file with kivo; the victim checks it out on a terminal."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from kivotest import Repository, check, program, run_in_terminal, write  # noqa: E402

HOSTILE = "evil\x1b]0;owned\x07\x1b[2J\r\u009b.txt"

with tempfile.TemporaryDirectory() as work:
    repo = Repository(work, ("dev", "other"))
    ws, evil = repo.workspace("ws"), repo.workspace("evil", "K2")
    write(os.path.join(evil, "acme", HOSTILE), "x")
    repo.kivo(evil, "track", "acme")
    repo.kivo(evil, "push")
    os.makedirs(os.path.join(ws, "acme"))
    repo.kivo(ws, "track", "acme")

    text, code, _ = run_in_terminal([program("kivo"), "checkout", "-v"], ws, prompt=None,
                                    env=repo.env)
    check(code == 0, "checkout failed", repr(text))
    check("\x1b" not in text and "\x07" not in text and "\u009b" not in text,
          "raw control bytes reached the terminal", repr(text))
    check("evil\\x1b]0;owned\\x07\\x1b[2J\\x0d\\u009b.txt" in text, "not escaped", repr(text))
    check(os.path.exists(os.path.join(ws, "acme", HOSTILE)), "file not written", text)
