"""What the script tests share: the build's programs (the build folder is the first argument), a
repository file with users and their keys, and runs on a pseudo-terminal as a person would."""
import os
import pty
import select
import signal
import subprocess
import sys
import time

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-team")


def program(name):
    return os.path.join(BUILD, name)


def check(condition, message, details=""):
    """Ends the test with a failure message unless the condition holds."""
    if not condition:
        print("FAILED: " + message)
        print(details if len(details) < 3000 else details[:3000] + "\n...")
        sys.exit(1)


def tool(name, *args, cwd=None, env=None):
    """Runs a program of the build folder, which must succeed; returns its standard output."""
    return subprocess.run([program(name), *args], cwd=cwd, env=env, check=True,
                          stdout=subprocess.PIPE, text=True, timeout=600).stdout


def write(path, text):
    """Writes a text file, making its folders."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as out:
        out.write(text)


def wait_for(condition, what, timeout=20.0):
    """Polls the condition until it holds; a hang fails the test after the timeout."""
    deadline = time.monotonic() + timeout
    while not condition():
        check(time.monotonic() < deadline, "timed out waiting for " + what)
        time.sleep(0.05)


class Repository:
    """A repository file in folder work with users (password pw) and their keys KEY1, KEY2, ...
    in a key store of the folder; env is the environment of the runs."""

    def __init__(self, work, users=("dev",), name="repo.db", key="K", **env):
        self.work, self.file = work, os.path.join(work, name)
        self.env = dict(os.environ, ZEVUSERSTORE_HOME=os.path.join(work, "keys"), **env)
        self.env.pop("KIVO_ROOT", None)
        tool("kivo-repo", "init", self.file)
        for number, user in enumerate(users, 1):
            tool("kivo-repo", "user", self.file, user, "pw")
            tool("zevuserstore", "SET", key + str(number), "file:" + self.file, user, "pw",
                 env=self.env)

    def kivo(self, cwd, *args, expect=0, env=None):
        """Runs kivo in cwd, which must end with exit code expect (None: any)."""
        result = subprocess.run([program("kivo"), *args], cwd=cwd, env=env or self.env,
                                capture_output=True, text=True, timeout=600)
        check(expect is None or result.returncode == expect,
              "kivo %s exited %d" % (" ".join(args), result.returncode),
              result.stdout + result.stderr)
        return result

    def workspace(self, name, key="K1"):
        self.kivo(self.work, "create", "workspace", name, key)
        return os.path.join(self.work, name)


def run_in_terminal(argv, cwd, answer=b"", prompt=b"Password: ", env=None, timeout=120.0):
    """Runs argv in cwd on a pseudo-terminal and types the answer once the prompt (None: never)
    is shown. Returns the terminal output as text, the exit code (None when the process did not
    exit) and whether the answer was typed."""
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(cwd)
        os.execve(argv[0], argv, env if env is not None else os.environ)
    output, typed = b"", False
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if select.select([fd], [], [], 0.1)[0]:
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
    os.kill(pid, signal.SIGKILL)  # one that still waits after the timeout; an ended one stays
    _, status = os.waitpid(pid, 0)
    os.close(fd)
    code = os.WEXITSTATUS(status) if os.WIFEXITED(status) else None
    return output.decode("utf-8", "replace"), code, typed
