#!/usr/bin/env python3
"""Chunk surgery on a RIFF/WAVE file, making the fixtures other tools write.

wav_surgery.py IN OUT OP... where OP is one of
  junk=N     a JUNK chunk of N bytes right after the WAVE id
  nofact     drops the fact chunk
  factlast   moves the fact chunk after the data
  fact=N     sets the fact chunk's count
  huge=ID    chunk ID states more bytes than the file holds
"""
import struct
import sys


def chunks(data):
    at, found = 12, []
    while at + 8 <= len(data):
        size = struct.unpack("<I", data[at + 4:at + 8])[0]
        found.append([data[at:at + 4], data[at + 8:at + 8 + size]])
        at += 8 + size + (size & 1)
    return found


def main(source, dest, *ops):
    with open(source, "rb") as f:
        cs = chunks(f.read())
    huge = None
    for op in ops:
        name, _, arg = op.partition("=")
        if name == "junk":
            cs.insert(0, [b"JUNK", bytes(int(arg))])
        elif name == "nofact":
            cs = [c for c in cs if c[0] != b"fact"]
        elif name == "factlast":
            cs = [c for c in cs if c[0] != b"fact"] + [c for c in cs if c[0] == b"fact"]
        elif name == "fact":
            next(c for c in cs if c[0] == b"fact")[1] = struct.pack("<I", int(arg))
        elif name == "huge":
            huge = arg.encode().ljust(4)
        else:
            sys.exit("unknown operation " + op)
    body = b""
    for cid, data in cs:
        size = 0x7FFFFFF0 if cid == huge else len(data)
        body += cid + struct.pack("<I", size) + data + b"\0" * (len(data) & 1)
    with open(dest, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body) + 4) + b"WAVE" + body)


if __name__ == "__main__":
    main(*sys.argv[1:])
