#!/usr/bin/env python3
"""kivo resolve --mergetool asks on the terminal whether to take the merge tool's result: "no" by
default when the tool left the file alone, "yes" when it changed it; the answer decides, and a run
that leaves the conflict fails.
Usage: resolve_prompt_test.py <build dir>"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from terminal import check, exit_code, run_in_terminal, tool  # noqa: E402


def main():
    build = os.path.abspath(sys.argv[1])
    kivo = os.path.join(build, "kivo")
    with tempfile.TemporaryDirectory() as work:
        os.environ["ZEVUSERSTORE_HOME"] = os.path.join(work, "keys")
        repo = os.path.join(work, "repo.db")
        ws = os.path.join(work, "ws")

        def run(program, *args, cwd=work):
            tool(build, program, *args, cwd=cwd)

        def put(content):
            run("kivo_activate_probe", "file:" + repo, "other", "pw", "put", "acme", "a", "txt",
                content)

        def conflicted():
            return '"conflicts":["acme/a.txt"]' in read("._SYS_KIVO_settings/.kivoStatus")

        def read(name):
            with open(os.path.join(ws, name)) as handle:
                return handle.read()

        def make_conflict(local):
            with open(os.path.join(ws, "acme", "a.txt"), "w") as handle:
                handle.write(local)
            put("theirs " + local)
            run("kivo", "checkout", cwd=ws)
            check(conflicted(), "no conflict", local)

        run("kivo-repo", "init", repo)
        for user in ("dev", "other"):
            run("kivo-repo", "user", repo, user, "pw")
        run("zevuserstore", "SET", "K1", "file:" + repo, "dev", "pw")
        run("kivo", "create", "ws", "ws", "K1")
        put("base")
        run("kivo", "checkout", "package", "acme", cwd=ws)
        make_conflict("mine")

        # The tool changes nothing: the question defaults to "no"; Enter keeps the conflict.
        idle = [kivo, "resolve", "-m", "--mergeToolConfig=true %l", "--noTips"]
        question = b"The file has not been updated. Resolve it anyway? (y/N): "
        text, status, typed = run_in_terminal(idle, ws, b"\n", prompt=question)
        check(typed and exit_code(status) == 1, "idle run", text)
        check(text.startswith("Invoking merge tool: \r\ntrue '"), "tool line", repr(text))
        check(conflicted(), "resolved without consent", text)
        # "y" takes the unchanged local file.
        text, status, typed = run_in_terminal(idle, ws, b"y\n", prompt=question)
        check(typed and "Resolved files               : 1" in text, "not resolved", repr(text))
        check(not conflicted(), "still conflicted", text)

        # The tool writes a result: the question defaults to "yes"; "n" refuses it.
        make_conflict("again")
        merge = [kivo, "mergetool", "--mergeToolConfig=echo merged > %l", "--noTips"]
        question = b"The file has been updated. Resolve it? (Y/n): "
        text, status, typed = run_in_terminal(merge, ws, b"n\n", prompt=question)
        check(typed and exit_code(status) == 1, "refused run", text)
        check(conflicted() and read("acme/a.txt") == "again", "resolved although refused", text)
        text, status, typed = run_in_terminal(merge, ws, b"\n", prompt=question)
        check(typed and "Resolved files               : 1" in text, "not resolved", repr(text))
        check(not conflicted() and read("acme/a.txt") == "merged\n", "merge result lost", text)
    print("ok")


if __name__ == "__main__":
    main()
