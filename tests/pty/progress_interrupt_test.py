#!/usr/bin/env python3
"""The progress line and Ctrl-C during a push of a thousand files: on a terminal the line appears
and is erased at the end, through a pipe not one byte of it; Ctrl-C ends the push with
"Interrupted.", status 1 and no lock left, and a rerun finishes it without duplicate versions.
Usage: progress_interrupt_test.py <build dir>"""
import os
import sqlite3
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from terminal import check, exit_code, run_in_terminal, tool  # noqa: E402

FILES = 1000
LINE = " of %d files" % FILES
ERASE = "\r\x1b[K"


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
        ws = os.path.join(work, "ws")
        tool(build, "kivo-repo", "init", repo)
        tool(build, "kivo-repo", "user", repo, "dev", "pw")
        tool(build, "zevuserstore", "SET", "K", "file:" + repo, "dev", "pw", env=env)
        tool(build, "kivo", "create", "workspace", "ws", "K", cwd=work, env=env)
        write_files(ws, "first")
        tool(build, "kivo", "track", "bench", cwd=ws, env=env)

        # On a terminal: the line is drawn, and erased as the last thing the push wrote to it.
        text, status, _ = run_in_terminal([kivo, "push"], ws, b"", 120, None, env)
        check(exit_code(status) == 0 and LINE in text, "no progress line", text[-2000:])
        check(ERASE in text[text.rindex(LINE):], "progress line not erased",
              repr(text[text.rindex(LINE):][:300]))
        check("Committed files" in text, "statistics missing", text[-2000:])

        # Through a pipe: not one byte of it.
        write_files(ws, "second")
        piped = subprocess.run([kivo, "push"], cwd=ws, env=env, capture_output=True, text=True)
        check(piped.returncode == 0, "piped push failed", piped.stdout + piped.stderr)
        check(piped.stderr == "", "bytes on standard error of a piped push", repr(piped.stderr))
        check(" files" not in piped.stdout.replace("Committed files", "").replace(
            "Activated objects", ""), "progress in a pipe", piped.stdout)
        with open(os.path.join(ws, "._SYS_KIVO_settings", "logs", "commands.log")) as log:
            check(LINE not in log.read(), "progress in the command log", "")

        # Ctrl-C in the middle: the run ends cleanly, and a rerun completes it once.
        write_files(ws, "third")
        text, status, _ = run_in_terminal([kivo, "push"], ws, b"\x03", 120, LINE.encode(), env)
        check("Interrupted." in text and exit_code(status) == 1, "interrupt", text[-2000:])
        check(not os.path.exists(os.path.join(ws, "._SYS_KIVO_settings", ".lock")),
              "lock left behind", text[-500:])
        tool(build, "kivo", "push", cwd=ws, env=env)
        status_run = tool(build, "kivo", "status", cwd=ws, env=env).lower()
        check("new" not in status_run and "modified" not in status_run,
              "workspace not clean after the rerun", status_run)
        db = sqlite3.connect(repo)
        top = db.execute("select max(latest), min(latest), sum(inactive_count) from objects")
        check(top.fetchone() == (3, 3, 0), "versions after three pushes",
              str(db.execute("select latest, count(*) from objects group by latest").fetchall()))
        db.close()
    print("progress line and interrupt: ok")


if __name__ == "__main__":
    main()
