#!/usr/bin/env python3
"""What killed runs leave behind: a lock of a dead process is named as stale with the command
that removes it (and is never removed by the program); temporary files of settings writes of
dead processes go when the workspace is opened with the lock, those of living ones stay; a
journal of a run that died makes `kivo status` say so in one line while staying offline, and
the next connecting action repairs and removes it; a malformed journal is reported, not obeyed."""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from kivotest import Repository, check, write  # noqa: E402

LEFTOVER = "An interrupted run left unfinished work in this workspace"
REPAIR = '{\n"objects":[{"package":"p","name":"%s","suffix":"txt","repair":"repository"}]\n}\n'


def dead_pid():
    """A process id that no process has: one of a child that has ended."""
    child = subprocess.Popen(["true"])
    child.wait()
    return child.pid


with tempfile.TemporaryDirectory() as work:
    repo = Repository(work)
    ws = repo.workspace("ws")
    settings = os.path.join(ws, "._SYS_KIVO_settings")
    for name in ("a.txt", "b.txt"):
        write(os.path.join(ws, "p", name), name + "\n")
    repo.kivo(ws, "track", "p")
    repo.kivo(ws, "push")

    # A lock of a dead process, or of a living one of another program, is named as stale with
    # the command that removes it, and stays until the user removes it; a lock of a living kivo
    # is no stale lock.
    lock = os.path.join(settings, ".lock")
    sleeper = subprocess.Popen(["sleep", "30"])
    for owner, stale in (("kivo, id: %d" % dead_pid(), True),
                         ("kivo, id: %d" % os.getppid(), True),
                         ("sleep, id: %d" % sleeper.pid, False)):
        write(lock, "name: " + owner)
        error = repo.kivo(ws, "commit", expect=1).stderr
        if stale:
            check("stale" in error and "rm '%s'" % lock in error,
                  "stale lock not named with its command: " + owner, error)
        else:
            check("stale" not in error and "Now, you can either" in error,
                  "living lock named stale", error)
        check(os.path.exists(lock), "lock removed silently", owner)
    sleeper.kill()
    os.unlink(lock)

    # Temporary files of dead processes go; those of this (living) process stay.
    dead = os.path.join(settings, ".kivoStatus.tmp%d_3" % dead_pid())
    alive = os.path.join(settings, ".kivoStatus.tmp%d_0" % os.getpid())
    other = os.path.join(settings, "notes.tmp_x")
    for path in (dead, alive, other):
        write(path, "{")
    repo.kivo(ws, "commit")
    check(not os.path.exists(dead), "temporary file of a dead process left")
    check(os.path.exists(alive) and os.path.exists(other), "foreign files removed")
    os.unlink(alive)

    # A journal of a dead run: status says so and stays offline; the next push repairs.
    journal = os.path.join(settings, ".kivoJournal")
    write(journal, REPAIR % "a")
    offline = dict(repo.env, ZEVUSERSTORE_HOME=os.path.join(work, "nokeys"))
    status = repo.kivo(ws, "status", env=offline).stdout
    check(status.rstrip().endswith(LEFTOVER + "; the next action that connects to the "
                                   "repository finishes it."),
          "status does not name the leftover work", status)
    check("Nothing to commit." in repo.kivo(ws, "push").stdout, "push after the repair")
    check(not os.path.exists(journal), "journal left")
    check(LEFTOVER not in repo.kivo(ws, "status").stdout, "status still names the work")

    # A run whose repository writes were lost (its group of calls never became durable)
    # recorded a version the repository lacks: the repair makes the file new again, and the
    # push commits it.
    shutil.copy(repo.file, os.path.join(work, "before.db"))
    write(os.path.join(ws, "p", "c.txt"), "c\n")
    repo.kivo(ws, "push")
    for suffix in ("-wal", "-shm"):
        if os.path.exists(repo.file + suffix):
            os.unlink(repo.file + suffix)
    shutil.copy(os.path.join(work, "before.db"), repo.file)
    write(journal, REPAIR % "c")
    result = repo.kivo(ws, "push").stdout
    check("Committed files              : 1" in result, "lost commit not redone", result)
    check(repo.kivo(ws, "status").stdout.rstrip().endswith("Tracked packages:\n\tp"),
          "workspace and repository disagree after the repair")

    # A malformed journal is an error that names it; nothing is changed.
    write(journal, '{"objects":[{"package":1}]}')
    check("Failed to parse journal file: " in repo.kivo(ws, "commit", expect=1).stderr,
          "malformed journal")
    check(not os.path.exists(lock), "lock left after the failure")
    os.unlink(journal)

    # Repository files that cannot be written are named (made immutable, since permissions do
    # not stop the superuser; skipped where the file system has no such attribute).
    write(os.path.join(ws, "p", "a.txt"), "changed\n")
    for path in (repo.file, repo.file + "-shm"):
        if not os.path.exists(path):
            open(path, "w").close()
        if subprocess.run(["chattr", "+i", path], capture_output=True).returncode != 0:
            print("read-only repository: skipped (no chattr)")
            break
        try:
            error = repo.kivo(ws, "push", expect=1).stderr
        finally:
            subprocess.run(["chattr", "-i", path], capture_output=True)
        check('The repository file "%s" cannot be written' % path in error,
              "unwritable repository file not named", error)
print("recovery: ok")
