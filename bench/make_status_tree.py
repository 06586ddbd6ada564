#!/usr/bin/env python3
"""Generates a workspace for the status benchmark: FILES files of about 1 KiB in DIRS
directories below one tracked package, with a .kivoConfig and a matching .kivoStatus, so that
`kivo status` finds every file unchanged. Each entry holds the file's stat data as the proof a
writing run records (leave it out with "plain" as fourth argument: every file is then hashed).
Usage: make_status_tree.py ROOT [FILES] [DIRS] [plain]"""
import hashlib
import os
import struct
import sys
import time


def dotted_sha1(data):
    return ".".join(str(w) for w in struct.unpack(">5I", hashlib.sha1(data).digest()))


def timestamp(path):
    ns = os.stat(path).st_mtime_ns
    seconds, rest = divmod(ns, 1_000_000_000)
    t = time.gmtime(seconds)
    return time.strftime("%Y-%m-%d %H:%M:%S", t) + ".%03d UTC" % (rest // 1_000_000)


def proof(path, now):
    """The stat data "size.mtime_s.ns.ctime_s.ns.inode.device", or nothing for a file changed
    not strictly before now (such a record proves nothing)."""
    st = os.lstat(path)
    if max(st.st_mtime_ns, st.st_ctime_ns) >= now:
        return ""
    m, c = divmod(st.st_mtime_ns, 10**9), divmod(st.st_ctime_ns, 10**9)
    return ',"filestat":"%d.%d.%d.%d.%d.%d.%d"' % (st.st_size, m[0], m[1], c[0], c[1],
                                                    st.st_ino, st.st_dev)


def main():
    root = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 100_000
    dirs = int(sys.argv[3]) if len(sys.argv) > 3 else 1_000
    ws = os.path.join(root, "ws")
    settings = os.path.join(ws, "._SYS_KIVO_settings")
    for sub in ("SYS", "diff", "base", "logs"):
        os.makedirs(os.path.join(settings, sub), exist_ok=True)
    entries = []
    per_dir = files // dirs
    for d in range(dirs):
        rel_dir = "bench/d%04d" % d
        os.makedirs(os.path.join(ws, rel_dir), exist_ok=True)
        for f in range(per_dir):
            rel = "%s/f%05d.txt" % (rel_dir, f)
            data = (("line %d of %s\n" % (f, rel)) * 40)[:1024].encode()
            path = os.path.join(ws, rel)
            with open(path, "wb") as out:
                out.write(data)
            entries.append((path, rel, dotted_sha1(data)))
    entries.sort()
    plain = len(sys.argv) > 4 and sys.argv[4] == "plain"
    time.sleep(0.05)  # past the clock tick of the last write
    now = time.clock_gettime_ns(getattr(time, "CLOCK_REALTIME_COARSE", 5))  # Linux: 5
    lines = ['{"filename":"%s","sha1value":"%s","timest":"%s","baseversion":"1"%s}'
             % (rel, sha, timestamp(path), "" if plain else proof(path, now))
             for path, rel, sha in entries]
    with open(os.path.join(settings, ".kivoStatus"), "w") as out:
        out.write('{\n"name":"ws",\n"filenames":[' + ",\n".join(lines) + '],\n"conflicts":[]\n}\n')
    with open(os.path.join(settings, ".kivoConfig"), "w") as out:
        out.write('{\n"name":"ws",\n"hostname":"",\n"user":"",\n"database":"",\n"key":"",\n'
                  '"client_format_version":"0001.0001.0000",\n"trackedPackages":["bench"]\n}\n')


if __name__ == "__main__":
    main()
