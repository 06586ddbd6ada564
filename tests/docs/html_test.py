#!/usr/bin/env python3
"""The help pages are well-formed HTML: every element is closed in order (li and p may close
implicitly, as HTML allows), and the anchors the links point to exist. No page, topic or action
entry, keeps a digit, ")" or "*" right after <li>: the list filter takes those away, so a list
item that began with one would lose a word."""
import os
import re
import subprocess
import sys
import tempfile
from html.parser import HTMLParser

VOID = {"meta", "br", "hr", "img", "link", "input"}
IMPLICIT = {"li", "p"}


class Checker(HTMLParser):
    def __init__(self):
        super().__init__()
        self.stack, self.errors, self.ids, self.links = [], [], set(), []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        if tag == "a" and attrs.get("href", "").startswith("#"):
            self.links.append(attrs["href"][1:])
        if tag in IMPLICIT:
            # A new li or p closes an open one of its kind (and open p inside li).
            while self.stack and self.stack[-1] in IMPLICIT and (self.stack[-1] == tag or self.stack[-1] == "p"):
                self.stack.pop()
        if tag not in VOID:
            self.stack.append(tag)

    def handle_endtag(self, tag):
        while self.stack and self.stack[-1] != tag and self.stack[-1] in IMPLICIT:
            self.stack.pop()
        if not self.stack or self.stack[-1] != tag:
            self.errors.append("unexpected </%s> at %s, open: %s" % (tag, self.getpos(), self.stack))
            return
        self.stack.pop()


def check(name, page, need_links=False):
    checker = Checker()
    checker.feed(page)
    checker.close()
    rest = [t for t in checker.stack if t not in IMPLICIT]
    if not page.startswith("<!DOCTYPE html>\n") or rest or checker.errors:
        print(name, checker.errors[:5], "unclosed:", rest)
        return False
    missing = [l for l in checker.links if l not in checker.ids] if need_links else []
    if missing:
        print(name, "links without anchor:", missing)
        return False
    return True


# A list number left behind, or the punctuation that stays when the filter took the number away
# ("<li>0: mode" becomes "<li>: mode").
NUMBERED_ITEM = re.compile(r"<li>([0-9)*]|\s*[:;,.])")


def check_pages(kivo, complete):
    """Every topic and action entry of the complete page, by its anchor, and short forms."""
    pages = [["help"] + anchor.split("_", 1)
             for anchor in re.findall(r'<h2 id="([^"]+)">', complete) if anchor != "overview"]
    if len(pages) < 40:
        print("too few help pages found:", len(pages))
        return False
    ok = True
    for args in [["help"]] + pages + [["help", "resolve", "conflicts", "-s"], ["help", "checkout", "-s"]]:
        out = subprocess.run([kivo] + args + ["--html"], capture_output=True, text=True, check=True).stdout
        item = NUMBERED_ITEM.search(out)
        if item:
            print(" ".join(args), "keeps a list number:", out[item.start():item.start() + 40])
            ok = False
        ok = check(" ".join(args), out) and ok
    return ok


def main():
    kivo = os.path.join(sys.argv[1], "kivo")
    with tempfile.TemporaryDirectory() as tmp:
        script = os.path.join(tmp, "browser.sh")
        with open(script, "w") as f:
            f.write('#!/bin/sh\necho "$1" > "%s/url"\nf=${1#file://}; cp "${f%%%%#*}" "%s/page.html"\n'
                    % (tmp, tmp))
        os.chmod(script, 0o755)
        env = {k: v for k, v in os.environ.items() if not k.startswith("KIVO_") and k not in ("temp", "TEMP")}
        env.update(BROWSER=script, TMPDIR=tmp)
        # The browser gets the whole help as a file, at the anchor of the requested entry.
        subprocess.run([kivo, "help", "create", "ws", "--browse"], env=env, check=True)
        with open(os.path.join(tmp, "page.html")) as f:
            complete = f.read()
        with open(os.path.join(tmp, "url")) as f:
            url = f.read()
    ok = check("browse page", complete, need_links=True)
    if url != "file://%s/kivotmp/kivohelp.html#create_workSpace\n" % tmp:
        print("browse URL:", url)
        ok = False
    return 0 if check_pages(kivo, complete) and ok else 1


if __name__ == "__main__":
    sys.exit(main())
