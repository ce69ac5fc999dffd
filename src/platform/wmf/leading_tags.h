#pragma once
// Where the ID3v2 tags a source may start with end. FFmpeg is shown the
// source without them: it copies a tag several times over and allocates
// what a tag claims, however little data follows. The tags themselves are
// the tag reader's.

#include <cstdint>

#include "platform/wmf/wmf_types.h"

namespace tonvale::wmf {

// Reads exactly Count bytes at Position of Stream; false when they are not there.
bool ReadAt(IStream& Stream, uint64_t Position, void* Buffer, uint32_t Count);

// Where the tags at Base of Stream end, one after another, from Base; 0
// when the source starts with none.
int64_t LeadingTagsEnd(IStream& Stream, uint64_t Base);

}  // namespace tonvale::wmf
