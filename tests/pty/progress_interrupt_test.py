#!/usr/bin/env python3
"""The progress line and Ctrl-C during a push of a thousand files: on a terminal the line
"<done> of <total> files" appears and is erased at the end; through a pipe not one byte of it
is written; Ctrl-C ends the push after the object at hand with "Interrupted.", exit status 1 and
no lock left, and a rerun finishes the job without duplicate versions.

Usage: progress_interrupt_test.py <build dir>
"""
import os
import pty
import select
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from terminal import check  # noqa: E402

FILES = 1000
ERASE = "\r\x1b[K"


def run_on_terminal(argv, cwd, env, interrupt_when=None, timeout=120.0):
    """Runs argv on a pseudo-terminal; types Ctrl-C once interrupt_when is in the output.
    Returns the output and the wait status."""
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(cwd)
        os.execve(argv[0], argv, env)
    output, sent = b"", False
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                break
            if not chunk:
                break
            output += chunk
        if interrupt_when and not sent and interrupt_when in output:
            os.write(fd, b"\x03")
            sent = True
    _, status = os.waitpid(pid, 0)
    os.close(fd)
    return output.decode("utf-8", "replace"), status


def write_files(ws, tag):
    for i in range(FILES):
        directory = os.path.join(ws, "bench", "d%02d" % (i % 50))
        os.makedirs(directory, exist_ok=True)
        with open(os.path.join(directory, "f%05d.txt" % i), "w") as out:
            out.write("%s %d\n" % (tag, i))


def main():
    build = os.path.abspath(sys.argv[1])
    kivo = os.path.join(build, "kivo")
    with tempfile.TemporaryDirectory() as work:
        # The line appears at once, however fast this machine pushes a thousand files.
        env = dict(os.environ, ZEVUSERSTORE_HOME=os.path.join(work, "keys"), TERM="xterm",
                   KIVO_PROGRESS_DELAY_MS="0")
        env.pop("KIVO_ROOT", None)
        repo = os.path.join(work, "repo.db")

        def run(cwd, *args):
            return subprocess.run(list(args), cwd=cwd, env=env, capture_output=True, text=True)

        run(work, os.path.join(build, "kivo-repo"), "init", repo)
        run(work, os.path.join(build, "kivo-repo"), "user", repo, "dev", "pw")
        run(work, os.path.join(build, "zevuserstore"), "SET", "K", "file:" + repo, "dev", "pw")
        run(work, kivo, "create", "workspace", "ws", "K")
        ws = os.path.join(work, "ws")
        write_files(ws, "first")
        run(ws, kivo, "track", "bench")

        # On a terminal: the line is drawn, and erased as the last thing the push wrote to it.
        text, status = run_on_terminal([kivo, "push"], ws, env)
        check(os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0, "push failed", text[-2000:])
        check(" of %d files" % FILES in text, "no progress line on the terminal", text[-2000:])
        last_line = text.rindex(" of %d files" % FILES)
        check(ERASE in text[last_line:], "progress line not erased", repr(text[last_line:][:300]))
        check("Committed files" in text, "statistics missing", text[-2000:])

        # Through a pipe: not one byte of it.
        write_files(ws, "second")
        piped = run(ws, kivo, "push")
        check(piped.returncode == 0, "piped push failed", piped.stdout + piped.stderr)
        check(piped.stderr == "", "bytes on standard error of a piped push", repr(piped.stderr))
        check(" files" not in piped.stdout.replace("Committed files", "").replace(
            "Activated objects", ""), "progress in a pipe", piped.stdout)
        log = open(os.path.join(ws, "._SYS_KIVO_settings", "logs", "commands.log")).read()
        check(" of %d files" % FILES not in log, "progress in the command log", log[-500:])

        # Ctrl-C in the middle: the run ends cleanly, and a rerun completes it once.
        write_files(ws, "third")
        text, status = run_on_terminal([kivo, "push"], ws, env,
                                       interrupt_when=(" of %d files" % FILES).encode())
        check("Interrupted." in text, "no \"Interrupted.\"", text[-2000:])
        check(os.WIFEXITED(status) and os.WEXITSTATUS(status) == 1, "exit status", str(status))
        check(not os.path.exists(os.path.join(ws, "._SYS_KIVO_settings", ".lock")),
              "lock left behind", text[-500:])
        rerun = run(ws, kivo, "push")
        check(rerun.returncode == 0, "rerun failed", rerun.stdout[-2000:] + rerun.stderr[-2000:])
        status_run = run(ws, kivo, "status")
        check("new" not in status_run.stdout.lower() and "modified" not in
              status_run.stdout.lower(), "workspace not clean after the rerun", status_run.stdout)
        db = sqlite3.connect(repo)
        top = db.execute("select max(latest), min(latest), sum(inactive_count) from objects")
        check(top.fetchone() == (3, 3, 0), "versions after three pushes",
              str(db.execute("select latest, count(*) from objects group by latest").fetchall()))
        db.close()
    print("progress line and interrupt: ok")


if __name__ == "__main__":
    main()
