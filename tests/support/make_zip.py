#!/usr/bin/env python3
"""Builds a ZIP archive for the update tests.

usage: make_zip.py OUT.zip ENTRIES.json

ENTRIES is a list of entries:
  {"name": "a/b.tlx", "data": "text"}      a file (text stored as Latin-1)
  {"name": "big.bin", "size": 200000}      a file of that many pseudo-random bytes
  {"name": "dir/", "dir": true}            a folder entry
  {"name": "link.tlx", "symlink": "/etc/passwd"}   a Unix symbolic link
  "stored": true                           store instead of deflate
  "corrupt": true                          flip the first data byte after writing (stored only)
"""
import json
import random
import sys
import zipfile

out, entries_file = sys.argv[1], sys.argv[2]
with open(entries_file, encoding="utf-8") as f:
    entries = json.load(f)

corrupt = []
with zipfile.ZipFile(out, "w") as z:
    for entry in entries:
        info = zipfile.ZipInfo(entry["name"], date_time=(2001, 2, 3, 4, 5, 6))
        info.compress_type = zipfile.ZIP_STORED if entry.get("stored") else zipfile.ZIP_DEFLATED
        if entry.get("dir"):
            info.external_attr = (0o40755 << 16) | 0x10
            z.writestr(info, b"")
            continue
        if "symlink" in entry:
            info.create_system = 3
            info.external_attr = 0o120777 << 16
            z.writestr(info, entry["symlink"].encode("utf-8"))
            continue
        if "size" in entry:
            rnd = random.Random(entry["size"])
            data = bytes(rnd.getrandbits(8) for _ in range(entry["size"]))
        else:
            data = entry.get("data", "").encode("latin-1")
        info.create_system = 3
        info.external_attr = 0o100644 << 16
        z.writestr(info, data)
        if entry.get("corrupt"):
            corrupt.append(entry["name"])

if corrupt:
    with zipfile.ZipFile(out) as z:
        offsets = []
        for name in corrupt:
            info = z.getinfo(name)
            offsets.append(info.header_offset)
    with open(out, "r+b") as f:
        for header in offsets:
            f.seek(header + 26)
            name_len = int.from_bytes(f.read(2), "little")
            extra_len = int.from_bytes(f.read(2), "little")
            data_at = header + 30 + name_len + extra_len
            f.seek(data_at)
            b = f.read(1)
            f.seek(data_at)
            f.write(bytes([b[0] ^ 0xFF]))
