"""Runs a program on a pseudo-terminal, as a person at a terminal would use it."""
import os
import pty
import select
import subprocess
import sys
import time


def run_in_terminal(argv, cwd, answer, timeout=30.0, prompt=b"Password: ", env=None):
    """Runs argv in cwd on a pseudo-terminal and types the answer once the prompt (by default
    "Password: "; None: never) is shown. Returns the terminal output as text, the wait status, and whether
    the answer was typed."""
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(cwd)
        os.execve(argv[0], argv, env if env is not None else os.environ)
    output, typed = b"", False
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:  # the terminal closes when the child ends
                break
            if not chunk:
                break
            output += chunk
        if prompt is not None and not typed and prompt in output:
            os.write(fd, answer)
            typed = True
    _, status = os.waitpid(pid, 0)
    os.close(fd)
    return output.decode("utf-8", "replace"), status, typed


def exit_code(status):
    """The exit code of a wait status, or None when the process did not exit."""
    return os.WEXITSTATUS(status) if os.WIFEXITED(status) else None


def tool(build, program, *args, cwd=None, env=None):
    """Runs a program of the build folder, which must succeed; returns its standard output."""
    return subprocess.run([os.path.join(build, program), *args], cwd=cwd, env=env, check=True,
                          stdout=subprocess.PIPE, text=True, timeout=600).stdout


def check(condition, message, details):
    """Ends the test with a failure message unless the condition holds."""
    if not condition:
        print("FAILED: " + message)
        print(details)
        sys.exit(1)
