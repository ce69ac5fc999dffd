#pragma once
// The ID3v2 tags a source may start with, made small for FFmpeg: their text
// and other small frames are kept, large frames (cover art, private data)
// are stepped over unread, and nothing is allocated from a size the file
// claims before that many bytes are there. FFmpeg copies a tag several
// times over and allocates what a tag claims, however little data follows.

#include <cstdint>
#include <vector>

#include "platform/wmf/wmf_types.h"

namespace tonvale::wmf {

struct TLeadingTags {
  std::vector<uint8_t> Bytes;  // the tags as FFmpeg is to see them
  int64_t End = 0;             // where the source's own tags end, from Base
};

// Reads exactly Count bytes at Position of Stream; false when they are not there.
bool ReadAt(IStream& Stream, uint64_t Position, void* Buffer, uint32_t Count);

// Frames up to this size are kept.
constexpr uint32_t kLargestKeptFrame = 64 * 1024;

// Reads the tags at Base of Stream; empty when the source starts with none.
TLeadingTags ReadLeadingTags(IStream& Stream, uint64_t Base);

}  // namespace tonvale::wmf
