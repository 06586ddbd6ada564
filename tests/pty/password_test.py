#!/usr/bin/env python3
"""The password prompt: hidden on a terminal, one plain line from a pipe.

Usage: password_test.py <build dir>
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from terminal import check, run_in_terminal  # noqa: E402


def main():
    probe = os.path.join(sys.argv[1], "kivo_prompt_probe")
    check(os.access(probe, os.X_OK), "probe not built", probe)

    # On a terminal: the prompt appears, the typed text is not echoed, echo comes back on.
    text, status, typed = run_in_terminal([probe], os.getcwd(), b"s3cret pass\n")
    check(typed, "no prompt on the terminal", repr(text))
    check(os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0, "probe failed", repr(text))
    check(text.startswith("Password: "), "prompt text", repr(text))
    check(text.count("s3cret pass") == 1, "password echoed", repr(text))
    check("read: [s3cret pass]" in text, "password not read", repr(text))
    check("echo: on" in text, "echo not restored", repr(text))
    prompt_end = text.index("Password: ") + len("Password: ")
    check(text[prompt_end:].lstrip("\r\n").startswith("read: ["), "text after the prompt",
          repr(text))

    # From a pipe: one line is read as it comes, the rest stays unread.
    piped = subprocess.run([probe], input=b"piped-pw\nsecond line\n", capture_output=True,
                           timeout=20)
    check(piped.returncode == 0, "piped probe failed", repr(piped))
    check(piped.stdout == b"Password: \nread: [piped-pw]\n", "piped output", repr(piped.stdout))
    print("password prompt: ok")


if __name__ == "__main__":
    main()
