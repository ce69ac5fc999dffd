#!/usr/bin/python3
"""pcm_wav.py OUT TAG CH RATE BITS CONTAINER SECONDS [extensible]: a sine, BITS high in CONTAINER bits (TAG 1)."""
import math, struct, sys
out, tag, ch, rate, bits, container, seconds = sys.argv[1], *map(int, sys.argv[2:7]), float(sys.argv[7])
width, ext = container // 8, "extensible" in sys.argv[8:]
data = b"".join(((int(0.5 * math.sin(2 * math.pi * 440 * n / rate) * (2 ** (bits - 1) - 1)) << (container - bits)
                  if tag == 1 else 0) + (128 if width == 1 else 0)).to_bytes(width, "little", signed=width > 1) * ch
                for n in range(int(rate * seconds)))
fmt = struct.pack("<HHIIHH", 0xFFFE if ext else tag, ch, rate, rate * ch * width, ch * width, bits)
fmt += struct.pack("<HHIH", 22, bits, 0, tag) + bytes.fromhex("000000001000800000aa00389b71") if ext else b""
body = b"WAVEfmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
open(out, "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
