#!/usr/bin/env python3
"""What killed runs leave behind: a lock of a dead process is named as stale with the command
that removes it (and is never removed by the program); temporary files of settings writes of
dead processes go when the workspace is opened with the lock, those of living ones stay; a
journal of a run that died makes `kivo status` say so in one line while staying offline, and
the next connecting action repairs and removes it; a malformed journal is reported, not obeyed.
Usage: recovery_test.py BUILD_DIR"""
import os
import shutil
import subprocess
import sys
import tempfile

KIVO = os.path.join(os.path.abspath(sys.argv[1]), "kivo")
REPO_TOOL = os.path.join(os.path.abspath(sys.argv[1]), "kivo-repo")
STORE = os.path.join(os.path.abspath(sys.argv[1]), "zevuserstore")
LEFTOVER = "An interrupted run left unfinished work in this workspace"


def check(condition, message, details=""):
    if not condition:
        print("FAILED: " + message)
        print(details)
        sys.exit(1)


def write(path, text):
    with open(path, "w") as out:
        out.write(text)


def dead_pid():
    """A process id that no process has: one of a child that has ended."""
    child = subprocess.Popen(["true"])
    child.wait()
    return child.pid


def main():
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, ZEVUSERSTORE_HOME=os.path.join(work, "keys"))
        env.pop("KIVO_ROOT", None)
        repo = os.path.join(work, "repo.db")

        def run(cwd, *args):
            return subprocess.run(list(args), cwd=cwd, env=env, capture_output=True, text=True)

        run(work, REPO_TOOL, "init", repo)
        run(work, REPO_TOOL, "user", repo, "dev", "pw")
        run(work, STORE, "SET", "K", "file:" + repo, "dev", "pw")
        run(work, KIVO, "create", "workspace", "ws", "K")
        ws = os.path.join(work, "ws")
        settings = os.path.join(ws, "._SYS_KIVO_settings")
        os.makedirs(os.path.join(ws, "p"))
        for name in ("a.txt", "b.txt"):
            write(os.path.join(ws, "p", name), name + "\n")
        run(ws, KIVO, "track", "p")
        check(run(ws, KIVO, "push").returncode == 0, "first push")

        # A lock of a dead process, or of a living one of another program, is named as stale
        # with the command that removes it, and stays until the user removes it; a lock of a
        # living kivo is no stale lock.
        lock = os.path.join(settings, ".lock")
        sleeper = subprocess.Popen(["sleep", "30"])
        for owner, stale in (("kivo, id: %d" % dead_pid(), True),
                             ("kivo, id: %d" % os.getppid(), True),
                             ("sleep, id: %d" % sleeper.pid, False)):
            write(lock, "name: " + owner)
            result = run(ws, KIVO, "commit")
            check(result.returncode == 1, "commit despite a lock", result.stdout + result.stderr)
            if stale:
                check("stale" in result.stderr and "rm '%s'" % lock in result.stderr,
                      "stale lock not named with its command: " + owner, result.stderr)
            else:
                check("stale" not in result.stderr and "Now, you can either" in result.stderr,
                      "living lock named stale", result.stderr)
            check(os.path.exists(lock), "lock removed silently", owner)
        sleeper.kill()
        os.unlink(lock)

        # Temporary files of dead processes go; those of this (living) process stay.
        dead = os.path.join(settings, ".kivoStatus.tmp%d_3" % dead_pid())
        alive = os.path.join(settings, ".kivoStatus.tmp%d_0" % os.getpid())
        other = os.path.join(settings, "notes.tmp_x")
        for path in (dead, alive, other):
            write(path, "{")
        result = run(ws, KIVO, "commit")
        check(result.returncode == 0, "commit after cleaning", result.stdout + result.stderr)
        check(not os.path.exists(dead), "temporary file of a dead process left")
        check(os.path.exists(alive) and os.path.exists(other), "foreign files removed")
        os.unlink(alive)

        # A journal of a dead run: status says so and stays offline; the next push repairs.
        journal = os.path.join(settings, ".kivoJournal")
        repair = ('{\n"objects":[{"package":"p","name":"%s","suffix":"txt",'
                  '"repair":"repository"}]\n}\n')
        write(journal, repair % "a")
        offline = dict(env, ZEVUSERSTORE_HOME=os.path.join(work, "nokeys"))
        status = subprocess.run([KIVO, "status"], cwd=ws, env=offline, capture_output=True,
                                text=True)
        check(status.returncode == 0, "status failed offline", status.stdout + status.stderr)
        check(status.stdout.rstrip().endswith(LEFTOVER + "; the next action that connects to "
                                              "the repository finishes it."),
              "status does not name the leftover work", status.stdout)
        result = run(ws, KIVO, "push")
        check(result.returncode == 0 and "Nothing to commit." in result.stdout,
              "push after the repair", result.stdout + result.stderr)
        check(not os.path.exists(journal), "journal left")
        check(LEFTOVER not in run(ws, KIVO, "status").stdout, "status still names the work")

        # A run whose repository writes were lost (its group of calls never became durable)
        # recorded a version the repository lacks: the repair makes the file new again, and
        # the push commits it.
        shutil.copy(repo, os.path.join(work, "before.db"))
        write(os.path.join(ws, "p", "c.txt"), "c\n")
        check(run(ws, KIVO, "push").returncode == 0, "push of c.txt")
        for suffix in ("-wal", "-shm"):
            if os.path.exists(repo + suffix):
                os.unlink(repo + suffix)
        shutil.copy(os.path.join(work, "before.db"), repo)
        write(journal, repair % "c")
        result = run(ws, KIVO, "push")
        check(result.returncode == 0 and "Committed files              : 1" in result.stdout,
              "lost commit not redone", result.stdout + result.stderr)
        check(run(ws, KIVO, "status").stdout.rstrip().endswith("Tracked packages:\n\tp"),
              "workspace and repository disagree after the repair")

        # A malformed journal is an error that names it; nothing is changed.
        write(journal, '{"objects":[{"package":1}]}')
        result = run(ws, KIVO, "commit")
        check(result.returncode == 1 and "Failed to parse journal file: " in result.stderr,
              "malformed journal", result.stdout + result.stderr)
        check(not os.path.exists(lock), "lock left after the failure")
        os.unlink(journal)

        # Repository files that cannot be written are named (made immutable, since permissions
        # do not stop the superuser; skipped where the file system has no such attribute).
        write(os.path.join(ws, "p", "a.txt"), "changed\n")
        for path in (repo, repo + "-shm"):
            if not os.path.exists(path):
                open(path, "w").close()
            if subprocess.run(["chattr", "+i", path], capture_output=True).returncode != 0:
                print("read-only repository: skipped (no chattr)")
                break
            try:
                result = run(ws, KIVO, "push")
            finally:
                subprocess.run(["chattr", "-i", path], capture_output=True)
            check(result.returncode == 1 and
                  'The repository file "%s" cannot be written' % path in result.stderr,
                  "unwritable repository file not named", result.stdout + result.stderr)
    print("recovery: ok")


if __name__ == "__main__":
    main()
