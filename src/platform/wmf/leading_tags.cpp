#include "platform/wmf/leading_tags.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "platform/text.h"

namespace tonvale::wmf {
bool ReadAt(IStream& Stream, uint64_t Position, void* Buffer, uint32_t Count) {
  uint32_t n = 0;
  return Stream.Seek(static_cast<int64_t>(Position), STREAM_SEEK_SET, nullptr) == S_OK &&
         Stream.Read(Buffer, Count, &n) == S_OK && n == Count;
}

std::vector<std::u16string> FrameTexts(const uint8_t* Body, size_t Size) {
  std::vector<std::u16string> values(1);
  if (Size < 1) return {};
  const uint8_t encoding = Body[0];
  const uint8_t* p = Body + 1;
  const size_t n = Size - 1;
  if (encoding == 1 || encoding == 2) {
    bool bigEndian = encoding == 2, start = true;
    for (size_t i = 0; i + 1 < n; i += 2) {
      if (start && encoding == 1 && ((p[i] == 0xFF && p[i + 1] == 0xFE) || (p[i] == 0xFE && p[i + 1] == 0xFF))) {
        bigEndian = p[i] == 0xFE;  // each value may carry its own byte-order mark
        start = false;
        continue;
      }
      start = false;
      const auto c = static_cast<char16_t>(bigEndian ? (p[i] << 8) | p[i + 1] : p[i] | (p[i + 1] << 8));
      if (c == 0) {
        values.emplace_back();
        start = true;
      } else {
        values.back().push_back(c);
      }
    }
  } else {
    std::string bytes;
    for (size_t i = 0; i <= n; ++i) {
      if (i == n || p[i] == 0) {
        values.back() = encoding == 3 ? Utf8ToUtf16(bytes) : Latin1ToUtf16(bytes);
        if (i < n) values.emplace_back();
        bytes.clear();
      } else {
        bytes.push_back(static_cast<char>(p[i]));
      }
    }
  }
  if (values.size() > 1 && values.back().empty()) values.pop_back();  // the terminator
  return values;
}

bool BetterPicture(const TPicture& Kept, const TPicture& Candidate) {
  return Kept.Data.empty() || (Candidate.Type == 3 && Kept.Type != 3);
}

std::vector<uint8_t> WmPictureBytes(const TPicture& Picture) {
  std::vector<uint8_t> out = {Picture.Type};
  const auto size = static_cast<uint32_t>(Picture.Data.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
  for (const std::u16string& text : {Latin1ToUtf16(Picture.Mime), Picture.Description}) {
    for (char16_t c : text) out.insert(out.end(), {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8)});
    out.insert(out.end(), {0, 0});
  }
  out.insert(out.end(), Picture.Data.begin(), Picture.Data.end());
  return out;
}

bool ParseWmPicture(const uint8_t* Bytes, size_t Size, TPicture& Picture) {
  if (Size < 5) return false;
  Picture.Type = Bytes[0];
  const uint32_t size = Bytes[1] | (Bytes[2] << 8) | (Bytes[3] << 16) | (uint32_t{Bytes[4]} << 24);
  size_t at = 5;
  std::u16string texts[2];
  for (auto& text : texts) {
    for (;; at += 2) {
      if (at + 2 > Size) return false;
      const auto c = static_cast<char16_t>(Bytes[at] | (Bytes[at + 1] << 8));
      if (c == 0) break;
      text.push_back(c);
    }
    at += 2;
  }
  if (size == 0 || size > Size - at || size > kLargestPicture) return false;
  Picture.Mime = Utf16ToLatin1(texts[0]);
  Picture.Description = texts[1];
  Picture.Data.assign(Bytes + at, Bytes + at + size);
  return true;
}

namespace {

uint32_t Synchsafe(const uint8_t* P) {
  return (uint32_t{P[0]} << 21) | (uint32_t{P[1]} << 14) | (uint32_t{P[2]} << 7) | P[3];
}
uint32_t BigEndian(const uint8_t* P, int Bytes) {
  uint32_t v = 0;
  for (int i = 0; i < Bytes; ++i) v = (v << 8) | P[i];
  return v;
}

void Resynchronise(std::vector<uint8_t>& Data) {
  size_t out = 0;
  for (size_t i = 0; i < Data.size(); ++i) {
    Data[out++] = Data[i];
    if (Data[i] == 0xFF && i + 1 < Data.size() && Data[i + 1] == 0) ++i;
  }
  Data.resize(out);
}

// The bytes of a tag's body in [From, To) of a stream, read in order with
// the tag's unsynchronisation undone when Unsync.
class TTagBytes {
 public:
  TTagBytes(IStream& Stream, uint64_t From, uint64_t To, bool Unsync)
      : FStream(Stream), FNext(From), FTo(To), FUnsync(Unsync) {}

  // Raw bytes not yet read: at least as many as the decoded ones left.
  uint64_t Left() const { return FTo - FNext + (FBuffer.size() - FAt); }
  uint64_t Position() const { return FNext - (FBuffer.size() - FAt); }

  bool Read(uint8_t* Out, size_t Count) {
    for (size_t i = 0; i < Count; ++i)
      if (!Next(Out[i])) return false;
    return true;
  }
  bool Skip(uint64_t Count) {
    if (!FUnsync) {
      const uint64_t buffered = FBuffer.size() - FAt;
      if (Count <= buffered) {
        FAt += Count;
        return true;
      }
      if (Count - buffered > FTo - FNext) return false;
      FNext += Count - buffered;
      FAt = FBuffer.size();
      return true;
    }
    uint8_t b;
    for (uint64_t i = 0; i < Count; ++i)
      if (!Next(b)) return false;
    return true;
  }

 private:
  bool Raw(uint8_t& B) {
    if (FAt == FBuffer.size()) {
      const auto n = static_cast<uint32_t>(std::min<uint64_t>(FTo - FNext, 64 * 1024));
      FBuffer.resize(n);
      FAt = 0;
      if (n == 0 || !ReadAt(FStream, FNext, FBuffer.data(), n)) {
        FBuffer.clear();
        return false;
      }
      FNext += n;
    }
    B = FBuffer[FAt++];
    return true;
  }
  bool Next(uint8_t& B) {
    if (!Raw(B)) return false;
    if (FUnsync && FAfterFF && B == 0 && !Raw(B)) return false;
    FAfterFF = B == 0xFF;
    return true;
  }

  IStream& FStream;
  uint64_t FNext, FTo;
  bool FUnsync, FAfterFF = false;
  std::vector<uint8_t> FBuffer;
  size_t FAt = 0;
};

bool ValidId(const uint8_t* Id, size_t Length) {
  return std::all_of(Id, Id + Length, [](uint8_t C) { return (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9'); });
}

bool Inflate(const std::vector<uint8_t>& In, uint64_t Limit, std::vector<uint8_t>& Out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(In.data());
  z.avail_in = static_cast<uInt>(In.size());
  int rc = Z_OK;
  uint8_t chunk[16384];
  while (rc == Z_OK) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    rc = inflate(&z, Z_NO_FLUSH);
    Out.insert(Out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
    if (Out.size() > Limit) rc = Z_MEM_ERROR;
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END;
}

// Whether a frame header (or the padding, or the end) of a 2.4 tag may
// start at Position: used to tell a synchsafe frame size from a plain one.
bool FrameMayStart(IStream& Stream, uint64_t Position, uint64_t End) {
  uint8_t id[4];
  if (Position == End) return true;
  if (Position > End || End - Position < 10) return Position < End && ReadAt(Stream, Position, id, 1) && id[0] == 0;
  return ReadAt(Stream, Position, id, 4) && (id[0] == 0 || ValidId(id, 4));
}

// An "APIC" (2.2: "PIC") frame's picture: encoding, MIME type (2.2: an
// image format), picture type, description, data.
bool ReadPicture(const std::vector<uint8_t>& Frame, int Version, TPicture& Picture) {
  if (Frame.size() < 2) return false;
  const uint8_t encoding = Frame[0];
  size_t at = 1;
  if (Version == 2) {
    if (Frame.size() < 5) return false;
    const std::string format(reinterpret_cast<const char*>(Frame.data() + 1), 3);
    Picture.Mime = format == "PNG" ? "image/png" : format == "JPG" ? "image/jpeg" : "image/" + format;
    at = 4;
  } else {
    const auto* end = static_cast<const uint8_t*>(std::memchr(Frame.data() + 1, 0, Frame.size() - 1));
    if (!end) return false;
    Picture.Mime.assign(reinterpret_cast<const char*>(Frame.data() + 1), end - (Frame.data() + 1));
    at = static_cast<size_t>(end - Frame.data()) + 1;
  }
  if (at >= Frame.size()) return false;
  Picture.Type = Frame[at++];
  // The description ends at a terminator of its encoding.
  const size_t unit = encoding == 1 || encoding == 2 ? 2 : 1;
  size_t end = at;
  while (end + unit <= Frame.size() && !(Frame[end] == 0 && Frame[end + unit - 1] == 0)) end += unit;
  if (end + unit > Frame.size()) return false;
  std::vector<uint8_t> text = {encoding};
  text.insert(text.end(), Frame.begin() + static_cast<std::ptrdiff_t>(at),
              Frame.begin() + static_cast<std::ptrdiff_t>(end));
  const auto texts = FrameTexts(text.data(), text.size());
  Picture.Description = texts.empty() ? std::u16string() : texts.front();
  Picture.Data.assign(Frame.begin() + static_cast<std::ptrdiff_t>(end + unit), Frame.end());
  return !Picture.Data.empty() && Picture.Data.size() <= kLargestPicture;
}

// Reads the frames of one tag; Version 2 to 4, Flags the tag's.
void ReadFrames(IStream& Stream, uint64_t From, uint64_t To, int Version, uint8_t Flags, TLeadingTags& Out) {
  const bool tagUnsync = (Flags & 0x80) != 0;
  TTagBytes in(Stream, From, To, tagUnsync && Version < 4);
  if (Flags & 0x40) {
    // The extended header: its size counts itself in 2.4, not in 2.3.
    uint8_t size[4];
    if (Version == 2 || !in.Read(size, 4)) return;  // 2.2: compressed, no way to read it
    const uint32_t n = Version == 4 ? Synchsafe(size) : BigEndian(size, 4);
    if ((Version == 4 && n < 6) || !in.Skip(Version == 4 ? n - 4 : n)) return;
  }
  const size_t idLength = Version == 2 ? 3 : 4, headerSize = Version == 2 ? 6 : 10;
  uint8_t header[10];
  while (in.Left() >= headerSize) {
    const uint64_t at = in.Position();
    if (!in.Read(header, headerSize) || header[0] == 0 || !ValidId(header, idLength)) return;
    uint64_t size = Version == 2 ? BigEndian(header + 3, 3) : BigEndian(header + 4, 4);
    if (Version == 4 && (header[4] | header[5] | header[6] | header[7]) < 0x80) {
      // A synchsafe size, unless the writer put a plain one (as some do)
      // and only that one lands on the next frame. A byte with its top bit
      // set cannot be synchsafe: such a size is a plain one.
      const uint64_t synchsafe = Synchsafe(header + 4);
      const bool plainFits = size != synchsafe && FrameMayStart(Stream, at + 10 + size, To);
      if (!plainFits || FrameMayStart(Stream, at + 10 + synchsafe, To)) size = synchsafe;
    }
    if (size > in.Left()) return;  // claims more than the tag holds: nothing after it can be trusted
    const std::string id(reinterpret_cast<const char*>(header), idLength);
    const bool picture = id == "APIC" || id == "PIC";
    if (picture && size > kLargestPicture + 64 * 1024) Out.PictureLeftOut = kPictureWasTooLarge;
    const bool wanted = id[0] == 'T' || id == "COMM" || id == "COM" || (picture && size <= kLargestPicture + 64 * 1024);
    if (!wanted) {
      if (!in.Skip(size)) return;
      continue;
    }
    std::vector<uint8_t> data(size);
    if (!in.Read(data.data(), data.size())) return;
    // The frame's own flags: what precedes its data, and how it is stored.
    const uint8_t f = Version == 2 ? 0 : header[9];
    size_t skip = 0;
    bool compressed, encrypted, unsync = false;
    if (Version == 3) {
      compressed = (f & 0x80) != 0;
      encrypted = (f & 0x40) != 0;
      skip = (compressed ? 4 : 0) + (encrypted ? 1 : 0) + ((f & 0x20) ? 1 : 0);
    } else {
      compressed = (f & 0x08) != 0;
      encrypted = (f & 0x04) != 0;
      unsync = Version == 4 && ((f & 0x02) != 0 || tagUnsync);
      skip = ((f & 0x40) ? 1 : 0) + (encrypted ? 1 : 0) + ((f & 0x01) ? 4 : 0);
    }
    if (encrypted || skip > data.size()) continue;  // this frame is lost, the next ones are not
    data.erase(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(skip));
    if (unsync) Resynchronise(data);
    if (compressed) {
      std::vector<uint8_t> inflated;
      // A frame inflates to no more than the largest picture kept.
      if (!Inflate(data, kLargestPicture + 64 * 1024, inflated)) continue;
      data.swap(inflated);
    }
    if (id == "TXXX" || id == "TXX") {
      // A user text: its description, its values. Only a comment is kept.
      auto texts = FrameTexts(data.data(), data.size());
      if (texts.size() > 1 && strcasecmp(Utf16ToUtf8(texts.front()).c_str(), "comment") == 0)
        Out.Texts.emplace_back("TXXX:comment", std::vector<std::u16string>(texts.begin() + 1, texts.end()));
    } else if (id[0] == 'T') {
      Out.Texts.emplace_back(id, FrameTexts(data.data(), data.size()));
    } else if (picture) {
      TPicture p;
      if (!ReadPicture(data, Version, p)) continue;
      if (p.Mime == "-->")  // a link to a picture, not one
        Out.PictureLeftOut = kPictureWasLinked;
      else if (BetterPicture(Out.Picture, p))
        Out.Picture = std::move(p);
    } else if (data.size() >= 4) {
      // A comment: encoding, language, description, text.
      std::vector<uint8_t> rest(data.begin() + 4, data.end());
      rest.insert(rest.begin(), data[0]);
      auto texts = FrameTexts(rest.data(), rest.size());
      if (texts.empty()) continue;
      const std::u16string description = texts.front();
      texts.erase(texts.begin());
      Out.Texts.emplace_back(description.empty() ? "COMM" : "COMM:" + Utf16ToUtf8(description), texts);
    }
  }
}

}  // namespace

TLeadingTags ReadLeadingTags(IStream& Stream, uint64_t Base) {
  TLeadingTags result;
  TStatStg stat;
  if (Stream.Stat(&stat, 0) != S_OK || stat.cbSize < Base) return result;
  const uint64_t size = stat.cbSize - Base;
  uint64_t at = 0;
  uint8_t header[10];
  // Tags may follow one another; each is read in turn.
  while (at + 10 <= size && ReadAt(Stream, Base + at, header, 10) && header[0] == 'I' && header[1] == 'D' &&
         header[2] == '3' && header[3] >= 2 && header[3] <= 4 && header[4] != 0xFF &&
         (header[6] | header[7] | header[8] | header[9]) < 0x80) {
    const int version = header[3];
    const uint8_t flags = header[5];
    const uint64_t framesEnd = at + 10 + Synchsafe(header + 6);
    const uint64_t end = framesEnd + (version == 4 && (flags & 0x10) ? 10 : 0);
    ReadFrames(Stream, Base + at + 10, Base + std::min(framesEnd, size), version, flags, result);
    at = end;
  }
  result.End = static_cast<int64_t>(std::min(at, size));
  return result;
}

}  // namespace tonvale::wmf
