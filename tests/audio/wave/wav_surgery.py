#!/usr/bin/python3
"""wav_surgery.py IN OUT OP...: chunk surgery on a RIFF/WAVE file. OP: junk=N (a JUNK chunk of N bytes first),
nofact, factlast (the fact chunk moved after the data), fact=N (its count), huge=ID (chunk ID states too much)."""
import struct, sys
source, dest, *args = sys.argv[1:]
ops = dict(op.partition("=")[::2] for op in args)
b, chunks, at = open(source, "rb").read(), [], 12
while at + 8 <= len(b):
    size = struct.unpack("<I", b[at + 4:at + 8])[0]
    chunks.append([b[at:at + 4], b[at + 8:at + 8 + size]])
    at += 8 + size + size % 2
fact, rest = [c for c in chunks if c[0] == b"fact"], [c for c in chunks if c[0] != b"fact"]
if "fact" in ops:
    fact[0][1] = struct.pack("<I", int(ops["fact"]))
chunks = rest if "nofact" in ops else rest + fact if "factlast" in ops else chunks
if "junk" in ops:
    chunks.insert(0, [b"JUNK", bytes(int(ops["junk"]))])
huge = ops.get("huge", "").encode()
body = b"".join(c + struct.pack("<I", 0x7FFFFFF0 if c == huge else len(d)) + d + bytes(len(d) % 2) for c, d in chunks)
open(dest, "wb").write(b"RIFF" + struct.pack("<I", len(body) + 4) + b"WAVE" + body)
