"""Tagged sources as other tools write them, and tags read back as mutagen reads them.

  library_tags.py make DIR   writes the sources into DIR (DIR/base.mp3, base.wma, base.wav must exist)
  library_tags.py read FILE  prints the file's tags, one "name=value" a line, sorted
  library_tags.py retag FILE  changes an MP3's title as a tag editor does and says whether the audio moved
"""
import shutil
import struct
import sys
import zlib

from mutagen.apev2 import APEv2
from mutagen.asf import ASF, ASFByteArrayAttribute, ASFUnicodeAttribute
from mutagen.id3 import (APIC, COMM, ID3, POPM, TALB, TCOM, TCON, TCOP, TDRC, TIT2, TPE1, TPE2, TPE3, TPOS, TRCK,
                         TXXX)
from mutagen.wave import WAVE


def unsync(data):
    return data.replace(b"\xff", b"\xff\x00")


def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def text_frame(fid, text, version, flags=0, body=None):
    body = body if body is not None else b"\x03" + text.encode() if version == 4 else b"\x01" + text.encode("utf-16")
    size = synchsafe(len(body)) if version == 4 else struct.pack(">I", len(body))
    return fid.encode() + size + struct.pack(">H", flags) + body


def prepend(path, version, flags, payload):
    with open(path, "rb") as f:
        audio = f.read()
    with open(path, "wb") as f:
        f.write(b"ID3" + bytes([version, 0, flags]) + synchsafe(len(payload)) + payload + audio)


def make(d):
    def mp3(name):
        shutil.copy(d + "/base.mp3", d + "/" + name)
        return d + "/" + name

    # Tag-level unsynchronisation (2.3): a 0xFF in the text is followed by a stuffed zero.
    frames = text_frame("TIT2", "\u00ffnsync \u00ff", 3) + text_frame("TPE1", "Sync Artist", 3)
    prepend(mp3("v23unsync.mp3"), 3, 0x80, unsync(frames))
    # 2.4 with an extended header, a frame unsynchronised on its own with a
    # data-length indicator, and a zlib-compressed frame.
    body = b"\x03" + "\u00ffxt title".encode()
    raw = unsync(body)
    f1 = b"TIT2" + synchsafe(len(raw) + 4) + b"\x00\x03" + synchsafe(len(body)) + raw
    packed = zlib.compress(b"\x03Packed Artist")
    f2 = b"TPE1" + synchsafe(len(packed) + 4) + b"\x00\x09" + synchsafe(14) + packed
    prepend(mp3("v24ext.mp3"), 4, 0x40, synchsafe(6) + b"\x01\x00" + f1 + f2)
    # 2.3 compressed frame: a 4-byte decompressed size, then the zlib data.
    text = b"\x00Zipped Album"
    packed = zlib.compress(text)
    f = b"TALB" + struct.pack(">I", len(packed) + 4) + b"\x00\x80" + struct.pack(">I", len(text)) + packed
    prepend(mp3("v23zlib.mp3"), 3, 0, f + text_frame("TIT2", "Zip", 3))
    # A broken POPM (shorter than its fields) before good frames, and a
    # 70,000-character artist.
    bad = b"POPM" + synchsafe(3) + b"\x00\x00" + b"ab\x00"
    prepend(mp3("broken.mp3"), 4, 0, bad + text_frame("TIT2", "After Bad", 4) + text_frame("TPE1", "a" * 70000, 4))
    # Several values, the extra fields, a cover, a described comment, and a
    # copyright.
    t = ID3()
    t.add(TIT2(encoding=3, text=["Many"]))
    t.add(TPE1(encoding=3, text=["First", "Second"]))
    t.add(TPE2(encoding=3, text=["Band"]))
    t.add(TPOS(encoding=3, text=["2/3"]))
    t.add(TCOM(encoding=3, text=["Writer"]))
    t.add(TCOP(encoding=3, text=["2001 Label"]))
    t.add(TRCK(encoding=3, text=["14/20"]))
    t.add(TCON(encoding=3, text=["Drum & Bass"]))
    t.add(TDRC(encoding=3, text=["2004-05-06"]))
    t.add(COMM(encoding=3, lang="eng", desc="Notes", text=["Described"]))
    t.add(APIC(encoding=3, mime="image/png", type=3, desc="album cover", data=b"\x89PNG\r\n\x1a\n" + b"p" * 3000))
    t.add(POPM(email="x@y", rating=200, count=3))
    t.save(mp3("v24many.mp3"), v2_version=4)
    t.save(mp3("v23many.mp3"), v2_version=3)
    # Several values in fields WAV INFO, WMA's content description and ID3v1's genre hold one of.
    t = ID3()
    for frame, values in ((TIT2, ["Title A", "Title B"]), (TCOP, ["Cop A", "Cop B"]), (TDRC, ["2001", "2002"]),
                          (TRCK, ["4", "5"]), (TCON, ["Pop", "Dance"])):
        t.add(frame(encoding=3, text=values))
    t.save(mp3("multi.mp3"), v2_version=4)
    # A cover over 16 MiB.
    t = ID3()
    t.add(APIC(encoding=3, mime="image/png", type=3, desc="big", data=b"x" * (17 << 20)))
    t.save(mp3("huge.mp3"))
    # 2.4 with plain frame sizes (iTunes 8): a cover, its size no synchsafe number, then an artist.
    body = b"\x00image/png\x00\x03\x00" + b"\x89PNG" + b"p" * 39996
    frames = b"APIC" + struct.pack(">IH", len(body), 0) + body + b"TPE1" + struct.pack(">IH", 12, 0) + b"\x03After cover"
    prepend(mp3("plain.mp3"), 4, 0, frames)
    # Comments in three languages; a linked picture and a comment as a user text.
    t = ID3()
    for lang, text in (("fra", "Commentaire"), ("eng", "English comment"), ("deu", "Kommentar")):
        t.add(COMM(encoding=3, lang=lang, desc="", text=[text]))
    t.save(mp3("langs.mp3"), v2_version=3)
    t = ID3()
    t.add(APIC(encoding=3, mime="-->", type=3, desc="url", data=b"http://example.invalid/cover.jpg"))
    t.add(TXXX(encoding=3, desc="COMMENT", text=["Upper comment"]))
    t.save(mp3("linked.mp3"))
    # An APEv2 tag at the end supplies what the ID3 tag lacks.
    t = ID3()
    t.add(TIT2(encoding=3, text=["Id3 Title"]))
    t.save(mp3("ape.mp3"))
    a = APEv2()
    a["Title"] = "Ape Title"
    a["Album"] = "Ape Album"
    a.save(d + "/ape.mp3")

    def wma(name):
        shutil.copy(d + "/base.wma", d + "/" + name)
        w = ASF(d + "/" + name)
        w.clear()
        return w

    # A ripper's WMA: description and copyright, zero-based WM/Track beside
    # WM/TrackNumber, a picture, repeated attributes, a NUL inside a value.
    w = wma("ripped.wma")
    w["Title"] = ["Ripped"]
    w["Author"] = ["One", "Two"]
    w["Description"] = ["A real comment"]
    w["Copyright"] = ["2003 Store"]
    w["WM/Track"] = [ASFUnicodeAttribute("13")]
    w["WM/TrackNumber"] = ["14"]
    w["WM/AlbumArtist"] = ["Various"]
    w["WM/PartOfSet"] = ["1/2"]
    w["WM/Composer"] = ["Comp\u0000oser"]
    w["WM/Year"] = ["1999"]
    w["WM/Genre"] = ["Folk-Rock"]
    pic = b"\x03" + struct.pack("<I", 2000) + "image/jpeg\0".encode("utf-16-le") + "scan by Bob\0".encode("utf-16-le")
    w["WM/Picture"] = [ASFByteArrayAttribute(pic + b"j" * 2000)]
    w.save()
    # First track: WM/Track 0 only beside WM/TrackNumber 1.
    w = wma("first.wma")
    w["Title"] = ["First"]
    w["WM/Track"] = [ASFUnicodeAttribute("0")]
    w["WM/TrackNumber"] = ["1"]
    w.save()
    # A copyright and no description.
    w = wma("copyright.wma")
    w["Copyright"] = ["2001 Label"]
    w.save()
    # A header extension over 17 MiB: a cover over 16 MiB beside a composer.
    w = wma("bigext.wma")
    w["WM/Composer"] = [ASFUnicodeAttribute("Lib Composer", language=1)]
    w["WM/Picture"] = [ASFByteArrayAttribute(pic + b"j" * (17 << 20))]
    w.save()

    # WAV with LIST/INFO (ffmpeg writes it) and with an id3 chunk (mutagen).
    shutil.copy(d + "/base.wav", d + "/id3.wav")
    v = WAVE(d + "/id3.wav")
    v.add_tags()
    v.tags.add(TIT2(encoding=3, text=["Wave Title"]))
    v.tags.add(TPE1(encoding=3, text=["Wave Artist"]))
    v.tags.add(TRCK(encoding=3, text=["5"]))
    v.tags.add(APIC(encoding=3, mime="image/jpeg", type=3, desc="wav cover", data=b"\xff\xd8" + b"j" * 1000))
    v.save()
    # INFO in Windows-1252, as older Windows taggers wrote it.
    text = "Mot\u00f6rhead \u2013 \u201cLive\u201d".encode("cp1252") + b"\0"
    info = b"INFO" + b"IART" + struct.pack("<I", len(text)) + text + b"\0" * (len(text) % 2)
    riff(d + "/cp1252.wav", audio_chunks(d + "/base.wav") + chunk(b"LIST", info))
    # Two id3 chunks: the first is the file's tag.
    first, second = ID3(), ID3()
    first.add(TIT2(encoding=3, text=["First chunk"]))
    second.add(TIT2(encoding=3, text=["Second chunk"]))
    tags = [chunk(b"id3 ", tag_bytes(t, d + "/tag.id3")) for t in (first, second)]
    riff(d + "/twoid3.wav", audio_chunks(d + "/base.wav") + b"".join(tags))
    faults(d, mp3, wma)


def tag_bytes(tag, path):
    open(path, "wb").close()
    tag.save(path, padding=lambda info: 0)
    return open(path, "rb").read()


def chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + b"\0" * (len(body) % 2)


def audio_chunks(path):
    """The fmt and data chunks of a WAV file, without the tags its writer added."""
    data, at, out = open(path, "rb").read(), 12, b""
    while at + 8 <= len(data):
        n = struct.unpack("<I", data[at + 4:at + 8])[0]
        if data[at:at + 4] in (b"fmt ", b"data"):
            out += data[at:at + 8 + n + n % 2]
        at += 8 + n + n % 2
    return out


def riff(path, body):
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + len(body)) + b"WAVE" + body)


def faults(d, mp3, wma):
    """Tags other tools read whole that a strict reader loses, and values whose order or form is easily lost."""
    def frames(name, version, *fs, size=None):
        t = ID3()
        for f in fs:
            t.add(f)
        t.save(mp3(name), v2_version=version, padding=size)
        return d + "/" + name

    def patch(path, frame, delta):
        b = bytearray(open(path, "rb").read())
        b[b.find(frame) + 7] += delta
        open(path, "wb").write(b)

    # A POPM frame whose size is a byte too large, between good frames.
    p = frames("badsize.mp3", 4, TIT2(encoding=3, text=["Sized"]), POPM(email="e@f", rating=9, count=1),
               TCOM(encoding=3, text=["After popm"]), TPE3(encoding=3, text=["Conductor after"]))
    patch(p, b"POPM", 1)
    # A zero-size frame first (as in Windows Media Player's files).
    p = frames("zero.mp3", 3, TIT2(encoding=3, text=["Zero first"]), TPE1(encoding=3, text=["Zero artist"]))
    data = open(p, "rb").read()
    size = sum((data[6 + i] & 0x7F) << (7 * (3 - i)) for i in range(4))
    open(p, "wb").write(data[:6] + synchsafe(size + 10) + b"TENC" + b"\0" * 6 + data[10:])
    # A 2.3 frame whose size overruns the tag.
    p = frames("overrun.mp3", 3, TIT2(encoding=3, text=["Over"]), TALB(encoding=3, text=["Over album"]),
               size=lambda info: 0)
    patch(p, b"TALB", 40)
    # 2.3 in Latin-1, several values split by zeros, several titles in 2.4.
    frames("latin.mp3", 3, TIT2(encoding=0, text=["\u00cf\u00f0\u00e8"]))
    frames("zeros.mp3", 3, TPE1(encoding=1, text=["piman\u0000jzig"]))
    frames("titles.mp3", 4, TIT2(encoding=3, text=["One", "Two", "Three"]), TPE3(encoding=3, text=["Maestro"]))
    # Covers whose MIME type is misspelt or missing.
    png = b"\x89PNG\r\n\x1a\n" + b"p" * 500
    frames("jpgmime.mp3", 4, APIC(encoding=3, mime="image/JPG", type=3, desc="", data=b"\xff\xd8\xff" + b"j" * 500))
    frames("nomime.mp3", 4, APIC(encoding=3, mime="", type=3, desc="", data=png))
    # UTF-16 text without a byte-order mark, as FFmpeg writes it; a 2.3 date
    # in its year, day-month and time frames; a user text frame named as a field.
    frames_ = text_frame("TIT2", "", 3, body=b"\x01" + "No mark".encode("utf-16-le")) + \
        text_frame("TYER", "", 3, body=b"\x002011") + text_frame("TDAT", "", 3, body=b"\x002709") + \
        text_frame("TIME", "", 3, body=b"\x001530") + text_frame("TRCK", "", 3, body=b"\x00102") + \
        text_frame("TXXX", "", 3, body=b"\x00tracknumber\x002")
    prepend(mp3("nomark.mp3"), 3, 0, frames_)
    # 2.4 sizes as iTunes wrote them (plain numbers; the title's reads as a
    # smaller synchsafe one), and 2.2 ids in a 2.3 tag.
    plain24 = b"".join(f.encode() + struct.pack(">IH", len(b) + 1, 0) + b"\x03" + b for f, b in
                       (("TIT2", b"L" * 300), ("TPE1", b"Plain artist"), ("TPE3", b"Plain conductor")))
    prepend(mp3("plain24.mp3"), 4, 0, plain24)
    old_ids = b"".join(f + struct.pack(">IH", len(b) + 1, 0) + b"\x00" + b for f, b in
                       ((b"TT2\0", b"Old title"), (b"TAL\0", b"Old album"), (b"TCM\0", b"Old composer")))
    prepend(mp3("oldids.mp3"), 3, 0, old_ids)
    # Values of one attribute in the extended content description and in the
    # metadata library.
    w = wma("spread.wma")
    w["WM/Composer"] = [ASFUnicodeAttribute("Kiedis"), ASFUnicodeAttribute("Smith", language=1),
                        ASFUnicodeAttribute("Flea", language=1)]
    w.save()
    # A WMA with its artist in the content description and again as an attribute.
    w = wma("twoauthors.wma")
    w["Author"] = ["Described", "Attribute"]
    w["WM/Conductor"] = ["Wand"]
    w.save()


def mime(picture):
    """The MIME type of a WM/Picture value."""
    text = picture[5:].decode("utf-16-le", "replace")
    return text[:text.find("\0")]


def read(path):
    out = {}
    if path.endswith(".wma"):
        for k, vs in ASF(path).items():
            # TagLib writes every content description text, empty ones as a lone terminator.
            vs = [v for v in vs if str(v) != ""]
            if vs:
                out[k] = "; ".join(str(v) if k != "WM/Picture" else "picture %d %s" % (len(v.value), mime(v.value))
                                   for v in vs)
    elif path.endswith(".mp3"):
        t = ID3(path)
        for f in t.values():
            if f.FrameID == "APIC":
                out["APIC"] = "%s %d %s %d" % (f.mime, f.type, f.desc, len(f.data))
            elif f.FrameID == "COMM":
                if f.desc != "ID3v1 Comment":  # mutagen's name for the ID3v1 tag's comment
                    out["COMM"] = "; ".join(f.text)
            elif hasattr(f, "text"):
                out[f.FrameID] = "; ".join(str(x) for x in f.text)
        out["version"] = "2.%d" % t.version[1]
    elif path.endswith(".wav"):
        # The LIST/INFO items (mutagen reads only the id3 chunk).
        data = open(path, "rb").read()
        at = data.rfind(b"LIST")
        end = at + 8 + struct.unpack("<I", data[at + 4:at + 8])[0] if data[at + 8:at + 12] == b"INFO" else -1
        at += 12
        while 0 <= at < end:
            n = struct.unpack("<I", data[at + 4:at + 8])[0]
            out[data[at:at + 4].decode()] = data[at + 8:at + 8 + n].rstrip(b"\0").decode()
            at += 8 + n + n % 2
    for k in sorted(out):
        print("%s=%s" % (k, out[k] if len(out[k]) <= 60 else "%d characters" % len(out[k])))


def retag(path):
    data = open(path, "rb").read()
    end = 10 + sum((b & 0x7F) << (7 * (3 - i)) for i, b in enumerate(data[6:10]))
    padding = end - 10 - len(data[10:end].rstrip(b"\0"))
    t = ID3(path)
    t.add(TIT2(encoding=3, text=["Retitled by a tag editor"]))
    t.save(path)
    after = open(path, "rb").read()
    moved = len(after) != len(data) or after[end:-128] != data[end:-128]
    print("padding %s, audio %s" % ("1 to 4 KiB" if 1024 <= padding <= 4096 else padding, "moved" if moved else "in place"))


if __name__ == "__main__":
    {"make": make, "read": read, "retag": retag}[sys.argv[1]](sys.argv[2])
