#!/usr/bin/env python3
"""Damages the audio of an ASF file made by ffmpeg: asf_damage.py IN OUT FROM TO

Every payload of the data packets from the fraction FROM of them to TO is
overwritten with bytes the decoder refuses; the packets and the payload
headers are kept whole, so the demuxer still reads each one."""
import struct
import sys

FILE_PROPERTIES = bytes.fromhex("A1DCAB8C47A9CF118EE400C00C205365")
SIZES = (0, 1, 2, 4)  # the 2-bit length types of ASF


def field(data, at, kind):
    width = SIZES[kind]
    return int.from_bytes(data[at:at + width], "little"), at + width


def damage_packet(b, p):
    flags, props = b[p + 3], b[p + 4]
    at = p + 5
    _, at = field(b, at, (flags >> 5) & 3)  # packet length
    _, at = field(b, at, (flags >> 1) & 3)  # sequence
    _, at = field(b, at, (flags >> 3) & 3)  # padding length
    at += 6  # send time, duration
    count, length_type = 1, 2
    if flags & 1:
        count, length_type = b[at] & 0x3F, b[at] >> 6
        at += 1
    for _ in range(count):
        at += 1  # stream number
        _, at = field(b, at, (props >> 4) & 3)
        _, at = field(b, at, (props >> 2) & 3)
        replicated, at = field(b, at, props & 3)
        at += replicated
        size, at = field(b, at, length_type)
        b[at:at + size] = b"\xff" * size
        at += size


def main(source, dest, start, end):
    b = bytearray(open(source, "rb").read())
    header = struct.unpack("<Q", b[16:24])[0]
    props = b.find(FILE_PROPERTIES)
    size = struct.unpack("<I", b[props + 92:props + 96])[0]
    first = header + 50
    packets = (len(b) - first) // size
    for k in range(int(packets * float(start)), int(packets * float(end))):
        damage_packet(b, first + k * size)
    open(dest, "wb").write(b)


if __name__ == "__main__":
    main(*sys.argv[1:])
