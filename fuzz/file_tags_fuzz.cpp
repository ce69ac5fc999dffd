// Feeds arbitrary bytes to the tag reader the program uses, as each kind of
// file it reads tags from (the first byte picks the kind).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tags/file_tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  static const char* const kKinds[] = {"mp3", "wma", "wav", "flac", "ogg", "opus", "m4a", "aiff"};
  const char* kind = kKinds[Data[0] % (sizeof kKinds / sizeof kKinds[0])];
  const auto tags = tonvale::ReadTagBytes(std::vector<uint8_t>(Data + 1, Data + Size), kind);
  return static_cast<int>(tags.Values("title").size() > 1000);
}
