#!/usr/bin/env python3
"""The password prompt: hidden on a terminal, one plain line from a pipe.

Usage: password_test.py <build dir>
"""
import os
import pty
import select
import subprocess
import sys
import time


def read_until_exit(fd, pid, answer, timeout=20.0):
    """Collects the terminal output; types the answer once the prompt is shown."""
    output = b""
    typed = False
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.2)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:  # the terminal closes when the child ends
                break
            if not chunk:
                break
            output += chunk
        if not typed and b"Password: " in output:
            os.write(fd, answer)
            typed = True
    _, status = os.waitpid(pid, 0)
    return output, status, typed


def check(condition, message, details):
    if not condition:
        print("FAILED: " + message)
        print(details)
        sys.exit(1)


def main():
    probe = os.path.join(sys.argv[1], "kivo_prompt_probe")
    check(os.access(probe, os.X_OK), "probe not built", probe)

    # On a terminal: the prompt appears, the typed text is not echoed, echo comes back on.
    pid, fd = pty.fork()
    if pid == 0:
        os.execv(probe, [probe])
    output, status, typed = read_until_exit(fd, pid, b"s3cret pass\n")
    os.close(fd)
    text = output.decode("utf-8", "replace")
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
