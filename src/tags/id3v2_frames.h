#pragma once
// An ID3v2 tag read frame by frame, as other tools read a damaged one: a
// frame of size zero, a frame whose size is off or overruns the tag, or
// bytes that are no frame do not end the reading; the next frame that can be
// found is read. Each frame itself is read by TagLib.

#include <taglib/tbytevector.h>
#include <taglib/tiostream.h>

namespace TagLib::ID3v2 {
class Tag;
}

namespace tonvale {

struct TFileTags;

// The size of the ID3v2 tag (header and footer included) at the start of
// Bytes; 0 when Bytes do not start with one.
unsigned Id3v2TagSize(const TagLib::ByteVector& Bytes);

// The bytes of the tag of Size bytes at At of Stream; of a large one, its
// frames larger than any picture kept are left out (an attached picture
// among them noted in Tags), so that no more than that is read into memory.
TagLib::ByteVector ReadId3v2Bytes(TagLib::IOStream& Stream, long At, unsigned Size, TFileTags& Tags);

// Offers the attached pictures of Frames to Tags.
void AddId3v2Pictures(const TagLib::ID3v2::Tag& Frames, TFileTags& Tags);

// Adds the fields and the picture of the ID3v2 tag that is Tag (header
// first) to Tags.
void ReadId3v2Tag(const TagLib::ByteVector& Tag, TFileTags& Tags);

}  // namespace tonvale
