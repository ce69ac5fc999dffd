#!/usr/bin/env python3
"""Makes the window's pictures: background, About banner, icon and donate
picture, drawn here and written as JPEG files beside this script, each also
at twice its size ("@2x") for screens of a device pixel ratio of 2; and the
desktop icon as PNG files of every size the icon themes ask for.

Needs cjpeg (Debian's libjpeg-turbo-progs). Run it again after changing a
drawing; the JPEG files are kept in the repository."""

import math
import pathlib
import struct
import subprocess
import zlib

HERE = pathlib.Path(__file__).resolve().parent


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def save(name, width, height, pixel):
    ppm = bytearray(f"P6 {width} {height} 255\n".encode())
    for y in range(height):
        for x in range(width):
            ppm += bytes(max(0, min(255, c)) for c in pixel(x, y))
    jpg = subprocess.run(["cjpeg", "-quality", "90", "-optimize"], input=bytes(ppm),
                         capture_output=True, check=True).stdout
    (HERE / name).write_bytes(jpg)


def save_png(path, width, height, pixel):
    """The desktop icon: PNG with transparency, as the icon themes want it;
    pixel gives red, green, blue and alpha."""
    rows = b"".join(b"\0" + bytes(max(0, min(255, c)) for x in range(width) for c in pixel(x, y))
                    for y in range(height))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(png)


def waves(x, y, width, height, phase=0.0):
    """Soft sound-wave ribbons, 0..1."""
    v = 0.0
    for k, (amp, freq) in enumerate(((0.10, 2.0), (0.07, 3.1), (0.05, 4.3))):
        centre = 0.62 + amp * math.sin(freq * math.pi * x / width + phase + k)
        d = abs(y / height - centre)
        v = max(v, max(0.0, 1.0 - d / (0.012 + 0.004 * k)))
    return v


DEEP = (18, 32, 64)
TEAL = (24, 120, 140)
GLOW = (140, 220, 235)


def background(x, y):
    w, h = 400, 303
    base = mix(DEEP, TEAL, (x / w) * 0.6 + (y / h) * 0.4)
    return mix(base, GLOW, 0.55 * waves(x, y, w, h))


def banner(x, y):
    w, h = 360, 70
    base = mix(TEAL, DEEP, x / w)
    return mix(base, GLOW, 0.6 * waves(x, y * 3, w, h * 3, 1.0))


def icon(x, y):
    s = 64
    cx = cy = (s - 1) / 2
    r = math.hypot(x - cx, y - cy)
    if r > 30:
        return (255, 255, 255)
    base = mix(TEAL, DEEP, r / 30)
    # Three bars of a level meter.
    for i, top in enumerate((26, 16, 22)):
        left = 17 + i * 11
        if left <= x < left + 8 and top <= y < 48:
            return mix(GLOW, (255, 255, 255), 0.3)
    return base


def donate(x, y):
    w, h = 88, 31
    edge = min(x, y, w - 1 - x, h - 1 - y)
    if edge < 2:
        return (150, 90, 10)
    base = mix((255, 210, 90), (240, 160, 30), y / h)
    # A heart on the left.
    hx, hy = (x - 16) / 9.0, (y - 15) / 9.0
    if (hx * hx + (hy - 0.35 * math.sqrt(abs(hx))) ** 2) < 0.9:
        return (200, 30, 50)
    return base


def twice(drawing):
    """The same drawing at twice the size: each pixel samples the point
    between its logical neighbours."""
    return lambda x, y: drawing((x + 0.5) / 2 - 0.5, (y + 0.5) / 2 - 0.5)


def scaled_icon(size):
    """The 64-pixel icon drawn at another size, transparent around its disc."""
    def pixel(x, y):
        lx, ly = (x + 0.5) * 64 / size - 0.5, (y + 0.5) * 64 / size - 0.5
        r = math.hypot(lx - 31.5, ly - 31.5)
        alpha = max(0.0, min(1.0, (30.0 - r) * size / 64 + 0.5))  # a soft edge one pixel wide
        colour = icon(lx, ly) if r <= 30 else DEEP
        return colour + (int(round(255 * alpha)),)
    return pixel


for name, width, height, drawing in (("background", 400, 303, background), ("banner", 360, 70, banner),
                                     ("icon", 64, 64, icon), ("donate", 88, 31, donate)):
    save(name + ".jpg", width, height, drawing)
    save(name + "@2x.jpg", 2 * width, 2 * height, twice(drawing))
ICONS = HERE.parent.parent.parent / "data" / "icons"
for size in (16, 32, 48, 64, 128, 256):
    save_png(ICONS / f"{size}x{size}" / "tonvale.png", size, size, scaled_icon(size))
