#!/usr/bin/env python3
"""kivo resolve --mergetool asks on the terminal whether to take the merge tool's result: "no" by
default when the tool left the file alone, "yes" when it changed it; the answer decides, and a run
that leaves the conflict fails."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from kivotest import Repository, check, program, run_in_terminal, tool, write  # noqa: E402

RESOLVED = "Resolved files               : 1"

with tempfile.TemporaryDirectory() as work:
    repo = Repository(work, ("dev", "other"))
    ws = repo.workspace("ws")

    def put(content):
        tool("kivo_activate_probe", "file:" + repo.file, "other", "pw", "put", "acme", "a", "txt",
             content)

    def read(name):
        with open(os.path.join(ws, name)) as handle:
            return handle.read()

    def conflicted():
        return '"conflicts":["acme/a.txt"]' in read("._SYS_KIVO_settings/.kivoStatus")

    def make_conflict(local):
        write(os.path.join(ws, "acme", "a.txt"), local)
        put("theirs " + local)
        repo.kivo(ws, "checkout")
        check(conflicted(), "no conflict", local)

    def answer(argv, typing, question):
        text, code, typed = run_in_terminal(argv, ws, typing, question, repo.env)
        check(typed, "no question", repr(text))
        return text, code

    put("base")
    repo.kivo(ws, "checkout", "package", "acme")
    make_conflict("mine")

    # The tool changes nothing: the question defaults to "no"; Enter keeps the conflict.
    idle = [program("kivo"), "resolve", "-m", "--mergeToolConfig=true %l", "--noTips"]
    question = b"The file has not been updated. Resolve it anyway? (y/N): "
    text, code = answer(idle, b"\n", question)
    check(code == 1, "idle run", text)
    check(text.startswith("Invoking merge tool: \r\ntrue '"), "tool line", repr(text))
    check(conflicted(), "resolved without consent", text)
    # "y" takes the unchanged local file.
    text, code = answer(idle, b"y\n", question)
    check(RESOLVED in text and not conflicted(), "not resolved", repr(text))

    # The tool writes a result: the question defaults to "yes"; "n" refuses it.
    make_conflict("again")
    merge = [program("kivo"), "mergetool", "--mergeToolConfig=echo merged > %l", "--noTips"]
    question = b"The file has been updated. Resolve it? (Y/n): "
    text, code = answer(merge, b"n\n", question)
    check(code == 1, "refused run", text)
    check(conflicted() and read("acme/a.txt") == "again", "resolved although refused", text)
    text, code = answer(merge, b"\n", question)
    check(RESOLVED in text, "not resolved", repr(text))
    check(not conflicted() and read("acme/a.txt") == "merged\n", "merge result lost", text)
print("ok")
