#include "platform/wmf/leading_tags.h"

#include <algorithm>

namespace tonvale::wmf {

bool ReadAt(IStream& Stream, uint64_t Position, void* Buffer, uint32_t Count) {
  uint32_t n = 0;
  return Stream.Seek(static_cast<int64_t>(Position), STREAM_SEEK_SET, nullptr) == S_OK &&
         Stream.Read(Buffer, Count, &n) == S_OK && n == Count;
}

int64_t LeadingTagsEnd(IStream& Stream, uint64_t Base) {
  TStatStg stat;
  if (Stream.Stat(&stat, 0) != S_OK || stat.cbSize < Base) return 0;
  const uint64_t size = stat.cbSize - Base;
  uint64_t at = 0;
  uint8_t header[10];
  // Tags may follow one another.
  while (at + 10 <= size && ReadAt(Stream, Base + at, header, 10) && header[0] == 'I' && header[1] == 'D' &&
         header[2] == '3' && header[3] >= 2 && header[3] <= 4 && header[4] != 0xFF &&
         (header[6] | header[7] | header[8] | header[9]) < 0x80) {
    const uint64_t body =
        (uint64_t{header[6]} << 21) | (uint64_t{header[7]} << 14) | (uint64_t{header[8]} << 7) | header[9];
    at += 10 + body + (header[3] == 4 && (header[5] & 0x10) ? 10 : 0);
  }
  return static_cast<int64_t>(std::min(at, size));
}

}  // namespace tonvale::wmf
