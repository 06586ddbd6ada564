#!/usr/bin/env python3
"""The password prompt: on a terminal it is shown, the typing is not echoed and echo comes back
on; from a pipe one plain line is read. kivo-repo user reads a user's password so, and kivo the
repository password, which reaches no output and no file of the workspace."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from kivotest import check, program, run_in_terminal, tool  # noqa: E402

probe = program("kivo_prompt_probe")
text, code, typed = run_in_terminal([probe], os.getcwd(), b"s3cret pass\n")
check(typed and code == 0 and text.startswith("Password: "), "no prompt on the terminal",
      repr(text))
check(text.count("s3cret pass") == 1, "password echoed", repr(text))
check(text[len("Password: "):].lstrip("\r\n").startswith("read: [s3cret pass]"),
      "password not read", repr(text))
check("echo: on" in text, "echo not restored", repr(text))
# From a pipe: one line is read as it comes, the rest stays unread.
piped = subprocess.run([probe], input=b"piped-pw\nsecond line\n", capture_output=True,
                       timeout=20)
check(piped.returncode == 0 and piped.stdout == b"Password: \nread: [piped-pw]\n",
      "piped prompt", repr(piped))

with tempfile.TemporaryDirectory() as work:
    repo = os.path.join(work, "repo.db")
    tool("kivo-repo", "init", repo)
    # kivo-repo user without PASSWORD: typed without echo (a piped one is the server tests').
    text, code, typed = run_in_terminal([program("kivo-repo"), "user", repo, "dev"], work,
                                        b"Hidden-7\n")
    check(typed and code == 0, "kivo-repo user on the terminal", repr(text))
    check("Hidden-7" not in text and "Added user DEV" in text, "kivo-repo user's prompt",
          repr(text))

    # kivo's own prompt takes the password given above.
    text, code, _ = run_in_terminal([program("kivo"), "create", "ws", "ws", "--host=file:" + repo,
                                     "--user=dev", "--stdIn"], work, b"Hidden-7\n")
    check(code == 0, "create failed", text)
    check(text.startswith("Password: ") and "Hidden-7" not in text, "prompt or echo", repr(text))
    check('Created workspace "ws"' in text, "workspace not created", repr(text))
    for root, _, files in os.walk(os.path.join(work, "ws")):
        for name in files:
            with open(os.path.join(root, name), "rb") as handle:
                check(b"Hidden-7" not in handle.read(), "password stored", name)
print("password prompts: ok")
