#!/usr/bin/env python3
"""Crash trials: kills commit, activate, push, checkout, revert and import with SIGKILL at random
moments or right after the repository file changed, reruns the command and `kivo status`, and
checks that the settings parse, that status entries agree with their files and the repository,
that no object got a version nobody made, and that no user conflicts with their own version.
Usage: crash_trial.py BUILD_DIR [--long] [--seed N] [--files N] [--without-repair]
Short: 3 kills per action on 300 files; --long: 30 on 2,000 (more files kill a checkout, which
writes 250, 500, 1,000 and then 2,000 objects a part, between more parts)."""
import hashlib
import json
import os
import random
import shutil
import signal
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from kivotest import Repository, check, program, write  # noqa: E402


def option(name, default):
    return int(sys.argv[sys.argv.index(name) + 1]) if name in sys.argv else default


SEED = option("--seed", int(time.time()))
FILES, KILLS = (2000, 30) if "--long" in sys.argv else (300, 3)
FILES = option("--files", FILES)
random.seed(SEED)
print("crash trials with --seed %d" % SEED)


def dotted_sha1(data):
    return ".".join(str(w) for w in struct.unpack(">5I", hashlib.sha1(data).digest()))


def wal_state(repo):
    try:
        wal = os.stat(repo + "-wal")
        return wal.st_mtime_ns, wal.st_size
    except FileNotFoundError:
        return 0, 0


class Trial:
    def __init__(self, root):
        self.root = root
        self.repo = Repository(root)
        self.activations = 0  # activations every object went through, as the users made them
        self.counts = {}
        self.journals = 0  # kills that left work for the rerun's repair
        self.target = Repository(root, name="target.db", key="T")  # the imports' repository
        self.imported, self.imports = self.target.workspace("imported", "T1"), 0
        self.ws = self.repo.workspace("ws")
        self.change_all("first")
        self.repo.kivo(self.ws, "track", "bench")

    def change_all(self, tag, count=FILES):
        for i in range(count):
            write(os.path.join(self.ws, "bench", "d%02d" % (i % 20), "f%05d.txt" % i),
                  ("%s %d\n" % (tag, i)) * 20)

    def killed_run(self, cwd, args, duration, repo):
        """Starts kivo and kills it: at a random moment, or right after the repository file
        changed for the first few times."""
        process = subprocess.Popen([program("kivo"), *args], cwd=cwd, env=self.repo.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if random.random() < 0.4:
            before, changes, wanted = wal_state(repo.file), 0, random.randint(1, 40)
            deadline = time.monotonic() + duration * 2 + 1
            while process.poll() is None and time.monotonic() < deadline:
                now = wal_state(repo.file)
                if now != before:
                    before, changes = now, changes + 1
                    if changes >= wanted:
                        break
        else:
            time.sleep(random.uniform(0, duration * 1.1))
        if process.poll() is None:
            process.send_signal(signal.SIGKILL)
        process.wait()
        journal = os.path.join(cwd, "._SYS_KIVO_settings", ".kivoJournal")
        if os.path.exists(journal):
            self.journals += 1
            if "--without-repair" in sys.argv:  # shows that the checks catch what the repair fixes
                os.unlink(journal)
        lock = os.path.join(cwd, "._SYS_KIVO_settings", ".lock")
        if os.path.exists(lock):  # a killed run leaves its lock, as it should; the user removes it
            os.unlink(lock)
        # The rerun of the same command.
        repo.kivo(cwd, *args)

    def verify(self, ws, what, repo, activations):
        check("interrupted run" not in repo.kivo(ws, "status").stdout,
              "%s: the rerun left the journal behind" % what)
        settings = os.path.join(ws, "._SYS_KIVO_settings")
        with open(os.path.join(settings, ".kivoStatus")) as f:
            entries = json.load(f)["filenames"]
        db = sqlite3.connect(repo.file)
        latest = dict(db.execute("select name || '.' || suffix, latest from objects"))
        inactive = dict(db.execute(
            "select o.name || '.' || o.suffix, i.version_id from inactive_versions i "
            "join objects o on o.id = i.object_id"))
        db.close()
        for entry in entries:
            name = os.path.basename(entry["filename"])
            with open(os.path.join(ws, entry["filename"]), "rb") as f:
                check(dotted_sha1(f.read()) == entry["sha1value"],
                      "%s: %s differs from its status entry" % (what, entry["filename"]))
            with open(os.path.join(settings, "SYS", entry["filename"] + ".kivoMeta")) as f:
                meta = json.load(f)["metadata"]
            version = int(meta["version_id"])
            if meta["type"] == "2":
                check(inactive.get(name) == version, "%s: %s has inactive metadata %d, the "
                      "repository %s" % (what, name, version, inactive.get(name)))
            else:
                check(name not in inactive and latest[name] == version,
                      "%s: %s has active metadata %d, the repository %s/%s" %
                      (what, name, version, latest[name], inactive.get(name)))
        for name, version in latest.items():
            check(version <= activations, "%s: %s has version %d, but only %d activations were "
                  "made" % (what, name, version, activations))
        for name, version in inactive.items():
            check(version <= activations + 1, "%s: %s has an inactive version %d beyond the "
                  "users' %d" % (what, name, version, activations + 1))
        self.counts[what] = self.counts.get(what, 0) + 1

    def run(self):
        start = time.monotonic()
        self.repo.kivo(self.ws, "push")
        duration = time.monotonic() - start
        self.activations = 1
        self.repo.kivo(self.ws, "create", "deliveryUnit", "DU1")
        self.repo.kivo(self.ws, "assign", "bench", "DU1")
        for kill in range(KILLS):
            for action in ("commit", "activate", "push", "checkout", "revert", "import"):
                trial = getattr(self, "trial_" + action, self.trial_workspace)
                trial(action, duration, "r%d_%s" % (kill, action))
        # Nobody conflicts with their own versions: one more change goes through.
        self.change_all("last", 1)
        result = self.repo.kivo(self.ws, "push")
        check("conflict" not in result.stdout.lower() + result.stderr.lower(),
              "a user conflicts with their own version", result.stdout + result.stderr)
        print("crash trials (%d files): %s; %d kills left a journal" % (
            FILES, ", ".join("%s %d" % item for item in self.counts.items()), self.journals))

    def trial_workspace(self, action, duration, tag):
        """Changes every file (and commits them first for activate and revert), kills the action
        and reruns it; a killed commit is activated after the check."""
        self.change_all(tag)
        if action in ("activate", "revert"):
            self.repo.kivo(self.ws, "commit")
        self.killed_run(self.ws, [action], duration if action == "push" else duration / 2,
                        self.repo)
        self.activations += action in ("activate", "push")
        self.verify(self.ws, action, self.repo, self.activations)
        if action == "commit":
            self.repo.kivo(self.ws, "activate")
            self.activations += 1

    def trial_checkout(self, action, duration, tag):
        """A checkout into a fresh workspace; a push after it finds nothing to commit."""
        shutil.rmtree(os.path.join(self.root, "other"), ignore_errors=True)
        other = self.repo.workspace("other")
        self.killed_run(other, ["checkout", "bench/"], duration / 2, self.repo)
        self.verify(other, "checkout", self.repo, self.activations)
        result = self.repo.kivo(other, "push")
        check("Nothing to commit." in result.stdout,
              "checkout: a push without changes did something", result.stdout)

    def trial_import(self, action, duration, tag):
        """An import changes the repository in one transaction and no local file: after a kill
        and the rerun, a checkout in a workspace on the target agrees with it, and importing the
        same archive again made no version."""
        self.change_all(tag)
        self.repo.kivo(self.ws, "push")
        self.activations += 1
        archive = os.path.join(self.root, "du_%s.tgz" % tag)
        self.repo.kivo(self.ws, "export", "DU1", archive)
        self.imports += 1
        self.killed_run(self.imported, ["import", archive], duration / 2, self.target)
        self.target.kivo(self.imported, "checkout", "bench/")
        self.verify(self.imported, "import", self.target, self.imports)


with tempfile.TemporaryDirectory() as work:
    Trial(work).run()
