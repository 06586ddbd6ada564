#!/usr/bin/env python3
"""Crash trials: kills commit, activate, push, checkout, revert and import with SIGKILL at random
moments (some of them right after the repository file changed), then reruns the same command and
`kivo status`, and checks that the settings files parse, that every status entry agrees with its
file and with the repository, that no object got a version nobody made, and that no user
conflicts with their own version.
Usage: crash_trial.py BUILD_DIR [--long] [--seed N] [--files N] [--without-repair]
The short form (the test command's) makes 3 kills per action on 300 files; --long makes 30 on
2,000 files. --files sets another count (a checkout writes parts of 250, 500, 1,000 and then
2,000 objects: more files kill it between more parts)."""
import hashlib
import json
import os
import random
import signal
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1])
LONG = "--long" in sys.argv
SEED = int(sys.argv[sys.argv.index("--seed") + 1]) if "--seed" in sys.argv else int(time.time())
FILES, KILLS = (2000, 30) if LONG else (300, 3)
if "--files" in sys.argv:
    FILES = int(sys.argv[sys.argv.index("--files") + 1])
KIVO = os.path.join(BUILD, "kivo")
random.seed(SEED)


def fail(message):
    if len(message) > 3000:
        message = message[:3000] + "\n..."
    print("FAILED (seed %d): %s" % (SEED, message))
    sys.exit(1)


def dotted_sha1(data):
    return ".".join(str(w) for w in struct.unpack(">5I", hashlib.sha1(data).digest()))


class Trial:
    def __init__(self, root):
        self.root = root
        self.repo = os.path.join(root, "repo.db")
        self.env = dict(os.environ, ZEVUSERSTORE_HOME=os.path.join(root, "keys"))
        self.env.pop("KIVO_ROOT", None)
        self.activations = 0  # activations every object went through, as the users made them
        self.counts = {}
        self.journals = 0  # kills that left work for the rerun's repair
        self.make_repository(self.repo, "K")
        self.ws = self.create("ws")
        for i in range(FILES):
            self.write(self.ws, i, "first %d\n" % i)
        self.kivo(self.ws, "track", "bench")

    def make_repository(self, repo, key):
        """A repository file with the user dev and a key for it."""
        for program, *args in (("kivo-repo", "init", repo), ("kivo-repo", "user", repo, "dev", "pw"),
                               ("zevuserstore", "SET", key, "file:" + repo, "dev", "pw")):
            subprocess.run([os.path.join(BUILD, program), *args], check=True, capture_output=True,
                           env=self.env)

    def create(self, name):
        self.kivo(self.root, "create", "workspace", name, "K")
        return os.path.join(self.root, name)

    def path(self, ws, i):
        return os.path.join(ws, "bench", "d%02d" % (i % 20), "f%05d.txt" % i)

    def write(self, ws, i, text):
        os.makedirs(os.path.dirname(self.path(ws, i)), exist_ok=True)
        with open(self.path(ws, i), "w") as out:
            out.write(text * 20)

    def kivo(self, cwd, *args):
        result = subprocess.run([KIVO, *args], cwd=cwd, env=self.env, capture_output=True,
                                text=True)
        if result.returncode != 0:
            fail("kivo %s exited %d:\n%s%s" % (" ".join(args), result.returncode, result.stdout,
                                               result.stderr))
        return result

    @staticmethod
    def wal_size(repo):
        try:
            wal = os.stat(repo + "-wal")
            return wal.st_mtime_ns, wal.st_size
        except FileNotFoundError:
            return 0, 0

    def killed_run(self, cwd, args, duration, repo=None):
        """Starts kivo and kills it: at a random moment, or right after the repository file
        changed for the first few times."""
        repo = repo or self.repo
        process = subprocess.Popen([KIVO, *args], cwd=cwd, env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if random.random() < 0.4:
            before, changes, wanted = self.wal_size(repo), 0, random.randint(1, 40)
            deadline = time.monotonic() + duration * 2 + 1
            while process.poll() is None and time.monotonic() < deadline:
                now = self.wal_size(repo)
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

    def verify(self, ws, what, repo=None, activations=None):
        repo = repo or self.repo
        activations = self.activations if activations is None else activations
        if "interrupted run" in self.kivo(ws, "status").stdout:
            fail("%s: the rerun left the journal behind" % what)
        with open(os.path.join(ws, "._SYS_KIVO_settings", ".kivoStatus")) as f:
            entries = json.load(f)["filenames"]
        db = sqlite3.connect(repo)
        latest = {name: (l, c) for name, l, c in db.execute(
            "select name || '.' || suffix, latest, inactive_count from objects")}
        inactive = {name: v for name, v in db.execute(
            "select o.name || '.' || o.suffix, i.version_id from inactive_versions i "
            "join objects o on o.id = i.object_id")}
        db.close()
        for entry in entries:
            path = os.path.join(ws, entry["filename"])
            with open(path, "rb") as f:
                if dotted_sha1(f.read()) != entry["sha1value"]:
                    fail("%s: %s differs from its status entry" % (what, entry["filename"]))
            name = os.path.basename(path)
            with open(os.path.join(ws, "._SYS_KIVO_settings", "SYS",
                                   entry["filename"] + ".kivoMeta")) as f:
                meta = json.load(f)["metadata"]
            version = int(meta["version_id"])
            if meta["type"] == "2":
                if inactive.get(name) != version:
                    fail("%s: %s has inactive metadata %d, the repository %s" %
                         (what, name, version, inactive.get(name)))
            elif name in inactive or latest[name][0] != version:
                fail("%s: %s has active metadata %d, the repository %s/%s" %
                     (what, name, version, latest[name], inactive.get(name)))
        for name, (version, _) in latest.items():
            if version > activations:
                fail("%s: %s has version %d, but only %d activations were made" %
                     (what, name, version, activations))
        for name, version in inactive.items():
            if version > activations + 1:
                fail("%s: %s has an inactive version %d beyond the users' %d" %
                     (what, name, version, activations + 1))
        self.counts[what] = self.counts.get(what, 0) + 1

    def change_all(self, tag):
        for i in range(FILES):
            self.write(self.ws, i, "%s %d\n" % (tag, i))

    def run(self):
        start = time.monotonic()
        self.kivo(self.ws, "push")
        push_time = time.monotonic() - start
        self.activations = 1
        self.kivo(self.ws, "create", "deliveryUnit", "DU1")
        self.kivo(self.ws, "assign", "bench", "DU1")
        for kill in range(KILLS):
            for action in ("commit", "activate", "push", "checkout", "revert", "import"):
                tag = "r%d_%s" % (kill, action)
                if action in ("checkout", "import"):
                    getattr(self, "trial_" + action)(push_time, tag)
                else:
                    self.trial_workspace(action, push_time, tag)
        # Nobody conflicts with their own versions: one more change goes through.
        self.write(self.ws, 0, "last\n")
        result = self.kivo(self.ws, "push")
        if "conflict" in result.stdout.lower() + result.stderr.lower():
            fail("a user conflicts with their own version:\n" + result.stdout + result.stderr)
        print("crash trials (seed %d, %d files): %s; %d kills left a journal" % (
            SEED, FILES, ", ".join("%s %d" % item for item in self.counts.items()),
            self.journals))

    def trial_workspace(self, action, duration, tag):
        """Changes every file (and commits them first for activate and revert), kills the action
        and reruns it; a killed commit is activated after the check."""
        self.change_all(tag)
        if action in ("activate", "revert"):
            self.kivo(self.ws, "commit")
        self.killed_run(self.ws, [action], duration if action == "push" else duration / 2)
        self.kivo(self.ws, action)
        self.activations += action in ("activate", "push")
        self.verify(self.ws, action)
        if action == "commit":
            self.kivo(self.ws, "activate")
            self.activations += 1

    def trial_checkout(self, duration, tag):
        other = os.path.join(self.root, "other")
        subprocess.run(["rm", "-rf", other], check=True)
        other = self.create("other")
        self.killed_run(other, ["checkout", "bench/"], duration / 2)
        self.kivo(other, "checkout", "bench/")
        self.verify(other, "checkout")
        result = self.kivo(other, "push")
        if "Nothing to commit." not in result.stdout:
            fail("checkout: a push without changes did something:\n" + result.stdout)

    def import_target(self):
        """The second repository that imports receive, with a workspace on it; made once."""
        if not hasattr(self, "target"):
            self.target = os.path.join(self.root, "target.db")
            self.imports = 0
            self.make_repository(self.target, "T")
            self.kivo(self.root, "create", "workspace", "imported", "T")
        return os.path.join(self.root, "imported")

    def trial_import(self, duration, tag):
        """An import changes the repository in one transaction and no local file: after a kill
        and the rerun, a checkout in a workspace on the target agrees with it, and importing the
        same archive again made no version."""
        self.change_all(tag)
        self.kivo(self.ws, "push")
        self.activations += 1
        archive = os.path.join(self.root, "du_%s.tgz" % tag)
        self.kivo(self.ws, "export", "DU1", archive)
        imported = self.import_target()
        self.imports += 1
        self.killed_run(imported, ["import", archive], duration / 2, repo=self.target)
        self.kivo(imported, "import", archive)
        self.kivo(imported, "checkout", "bench/")
        self.verify(imported, "import", repo=self.target, activations=self.imports)


with tempfile.TemporaryDirectory() as work:
    Trial(work).run()
