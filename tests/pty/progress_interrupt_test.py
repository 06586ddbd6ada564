#!/usr/bin/env python3
"""The progress line and Ctrl-C during a push of a thousand files: on a terminal the line appears
and is erased at the end, through a pipe not one byte of it; Ctrl-C ends the push with
"Interrupted.", status 1 and no lock left, and a rerun finishes it without duplicate versions."""
import os
import sqlite3
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from kivotest import Repository, check, program, run_in_terminal, write  # noqa: E402

FILES = 1000
LINE = " of %d files" % FILES
ERASE = "\r\x1b[K"


def write_files(ws, tag):
    for i in range(FILES):
        write(os.path.join(ws, "bench", "d%02d" % (i % 50), "f%05d.txt" % i), "%s %d\n" % (tag, i))


with tempfile.TemporaryDirectory() as work:
    # The line appears at once, however fast this machine pushes a thousand files.
    repo = Repository(work, TERM="xterm", KIVO_PROGRESS_DELAY_MS="0")
    ws = repo.workspace("ws")
    write_files(ws, "first")
    repo.kivo(ws, "track", "bench")
    push = [program("kivo"), "push"]

    # On a terminal: the line is drawn, and erased as the last thing the push wrote to it.
    text, code, _ = run_in_terminal(push, ws, prompt=None, env=repo.env)
    check(code == 0 and LINE in text, "no progress line", text[-2000:])
    check(ERASE in text[text.rindex(LINE):], "progress line not erased",
          repr(text[text.rindex(LINE):][:300]))
    check("Committed files" in text, "statistics missing", text[-2000:])

    # Through a pipe: not one byte of it.
    write_files(ws, "second")
    piped = repo.kivo(ws, "push")
    check(piped.stderr == "", "bytes on standard error of a piped push", repr(piped.stderr))
    check(" files" not in piped.stdout.replace("Committed files", "").replace(
        "Activated objects", ""), "progress in a pipe", piped.stdout)
    with open(os.path.join(ws, "._SYS_KIVO_settings", "logs", "commands.log")) as log:
        check(LINE not in log.read(), "progress in the command log")

    # Ctrl-C in the middle: the run ends cleanly, and a rerun completes it once.
    write_files(ws, "third")
    text, code, _ = run_in_terminal(push, ws, b"\x03", LINE.encode(), repo.env)
    check("Interrupted." in text and code == 1, "interrupt", text[-2000:])
    check(not os.path.exists(os.path.join(ws, "._SYS_KIVO_settings", ".lock")),
          "lock left behind", text[-500:])
    repo.kivo(ws, "push")
    status = repo.kivo(ws, "status").stdout.lower()
    check("new" not in status and "modified" not in status,
          "workspace not clean after the rerun", status)
    db = sqlite3.connect(repo.file)
    top = db.execute("select max(latest), min(latest), sum(inactive_count) from objects")
    check(top.fetchone() == (3, 3, 0), "versions after three pushes",
          str(db.execute("select latest, count(*) from objects group by latest").fetchall()))
    db.close()
print("progress line and interrupt: ok")
