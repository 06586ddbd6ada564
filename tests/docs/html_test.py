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
# A list number left behind, or the punctuation that stays when the filter took the number away
# ("<li>0: mode" becomes "<li>: mode").
NUMBERED_ITEM = re.compile(r"<li>([0-9)*]|\s*[:;,.])")
KIVO = os.path.join(sys.argv[1], "kivo")


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
        # A new li or p closes an open one of its kind (and open p inside li).
        while tag in IMPLICIT and self.stack and self.stack[-1] in (tag, "p"):
            self.stack.pop()
        if tag not in VOID:
            self.stack.append(tag)

    def handle_endtag(self, tag):
        while self.stack and self.stack[-1] != tag and self.stack[-1] in IMPLICIT:
            self.stack.pop()
        if not self.stack or self.stack[-1] != tag:
            self.errors.append("unexpected </%s> at %s, open: %s" % (tag, self.getpos(),
                                                                     self.stack))
        else:
            self.stack.pop()


def problems(page, need_links=False):
    """What is wrong with the page: unclosed or misplaced elements, links without anchor, list
    numbers."""
    checker = Checker()
    checker.feed(page)
    checker.close()
    found = checker.errors[:5] + ["unclosed <%s>" % t for t in checker.stack if t not in IMPLICIT]
    if not page.startswith("<!DOCTYPE html>\n"):
        found.append("no doctype")
    if need_links:
        found += ["link without anchor: " + l for l in checker.links if l not in checker.ids]
    item = NUMBERED_ITEM.search(page)
    if item:
        found.append("keeps a list number: " + page[item.start():item.start() + 40])
    return found


with tempfile.TemporaryDirectory() as tmp:
    # The browser gets the whole help as a file, at the anchor of the requested entry.
    script = os.path.join(tmp, "browser.sh")
    with open(script, "w") as f:
        f.write('#!/bin/sh\necho "$1" > "%s/url"\nf=${1#file://}; cp "${f%%%%#*}" "%s/page.html"\n'
                % (tmp, tmp))
    os.chmod(script, 0o755)
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("KIVO_") and k not in ("temp", "TEMP")}
    subprocess.run([KIVO, "help", "create", "ws", "--browse"],
                   env=dict(env, BROWSER=script, TMPDIR=tmp), check=True)
    with open(os.path.join(tmp, "page.html")) as f:
        complete = f.read()
    with open(os.path.join(tmp, "url")) as f:
        url = f.read()
failures = ["browse page: " + p for p in problems(complete, need_links=True)]
if url != "file://%s/kivotmp/kivohelp.html#create_workSpace\n" % tmp:
    failures.append("browse URL: " + url)
# Every topic and action entry of the complete page, by its anchor, and short forms.
pages = [["help"] + anchor.split("_", 1)
         for anchor in re.findall(r'<h2 id="([^"]+)">', complete) if anchor != "overview"]
if len(pages) < 40:
    failures.append("too few help pages found: %d" % len(pages))
for args in [["help"], ["help", "resolve", "conflicts", "-s"], ["help", "checkout", "-s"]] + pages:
    out = subprocess.run([KIVO, *args, "--html"], capture_output=True, text=True,
                         check=True).stdout
    failures += [" ".join(args) + ": " + p for p in problems(out)]
print("\n".join(failures) or "help pages: ok")
sys.exit(1 if failures else 0)
