#include "platform/wmf/leading_tags.h"

#include <algorithm>

namespace tonvale::wmf {
bool ReadAt(IStream& Stream, uint64_t Position, void* Buffer, uint32_t Count) {
  uint32_t n = 0;
  return Stream.Seek(static_cast<int64_t>(Position), STREAM_SEEK_SET, nullptr) == S_OK &&
         Stream.Read(Buffer, Count, &n) == S_OK && n == Count;
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

// A frame's size as its header states it for tag version Version.
uint32_t FrameSize(const uint8_t* Header, int Version) {
  if (Version == 2) return BigEndian(Header + 3, 3);
  const bool synchsafe = (Header[4] | Header[5] | Header[6] | Header[7]) < 0x80;
  return Version == 4 && synchsafe ? Synchsafe(Header + 4) : BigEndian(Header + 4, 4);
}

// Appends the small frames of the tag whose frames lie in [From, To) to Out.
void KeepSmallFrames(IStream& Stream, uint64_t From, uint64_t To, int Version, std::vector<uint8_t>& Out) {
  const uint32_t headerSize = Version == 2 ? 6 : 10;
  uint64_t at = From;
  uint8_t header[10];
  while (at + headerSize <= To && ReadAt(Stream, at, header, headerSize) && header[0] != 0) {
    const uint64_t size = FrameSize(header, Version);
    if (size > To - at - headerSize) break;  // claims more than the tag holds
    if (size <= kLargestKeptFrame) {
      const size_t start = Out.size();
      Out.resize(start + headerSize + size);
      if (!ReadAt(Stream, at, Out.data() + start, static_cast<uint32_t>(headerSize + size))) {
        Out.resize(start);
        break;
      }
    }
    at += headerSize + size;
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
    // Frames can be told apart unless the whole tag is unsynchronised (up to
    // version 3) or compressed (version 2), or an extended header precedes
    // them; such a tag is left out whole.
    const bool walkable = version == 4 ? (flags & 0x40) == 0 : (flags & 0xC0) == 0;
    std::vector<uint8_t> frames;
    if (walkable) KeepSmallFrames(Stream, Base + at + 10, Base + std::min(framesEnd, size), version, frames);
    if (!frames.empty()) {
      const uint32_t n = static_cast<uint32_t>(frames.size());
      const uint8_t head[10] = {'I',
                                'D',
                                '3',
                                header[3],
                                header[4],
                                static_cast<uint8_t>(flags & ~0x10),  // no footer
                                static_cast<uint8_t>((n >> 21) & 0x7F),
                                static_cast<uint8_t>((n >> 14) & 0x7F),
                                static_cast<uint8_t>((n >> 7) & 0x7F),
                                static_cast<uint8_t>(n & 0x7F)};
      result.Bytes.insert(result.Bytes.end(), head, head + 10);
      result.Bytes.insert(result.Bytes.end(), frames.begin(), frames.end());
    }
    at = end;
  }
  result.End = static_cast<int64_t>(std::min(at, size));
  return result;
}

}  // namespace tonvale::wmf
