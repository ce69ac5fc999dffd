#!/usr/bin/python3
"""Writes a WAV of a sine in the layout other tools use for unusual PCM.

pcm_wav.py OUT TAG CHANNELS RATE BITS CONTAINER SECONDS [extensible] [rifx]
TAG 1: integer PCM, BITS valid bits high in CONTAINER bits; any other tag is
written with CONTAINER-bit zero samples (a format that is not read).
"""
import math, struct, sys

out, tag, ch, rate, bits, container, seconds = sys.argv[1], *map(int, sys.argv[2:7]), float(sys.argv[7])
extensible, rifx = "extensible" in sys.argv[8:], "rifx" in sys.argv[8:]
e = ">" if rifx else "<"
width = container // 8
frames = int(rate * seconds)
data = bytearray()
for n in range(frames):
    v = int(0.5 * math.sin(2 * math.pi * 440 * n / rate) * (2 ** (bits - 1) - 1)) if tag == 1 else 0
    word = (v << (container - bits)) & ((1 << container) - 1)  # the valid bits are the high bits
    if width == 1:
        word ^= 0x80  # 8-bit PCM is unsigned
    data += word.to_bytes(width, "big" if rifx else "little") * ch
fmt = struct.pack(e + "HHIIHH", 0xFFFE if extensible else tag, ch, rate, rate * ch * width, ch * width, bits)
if extensible:
    fmt += struct.pack(e + "HHI", 22, bits, 0) + struct.pack("<H", tag) + bytes.fromhex("000000001000800000aa00389b71")
body = b"WAVE" + b"fmt " + struct.pack(e + "I", len(fmt)) + fmt + b"data" + struct.pack(e + "I", len(data)) + data
open(out, "wb").write((b"RIFX" if rifx else b"RIFF") + struct.pack(e + "I", len(body)) + body)
