#pragma once
// The ID3v2 tags a source may start with, read whole as other tools write
// them: an extended header is skipped, unsynchronisation undone (of the tag
// up to version 3, of each frame in version 4), compressed frames inflated.
// Their text frames and comments are kept at any size; other frames (cover
// art, private data) are stepped over unread, and nothing is allocated from
// a size the file claims before that many bytes are there. FFmpeg is shown
// the source without them: it copies a tag several times over and allocates
// what a tag claims, however little data follows.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/wmf/wmf_types.h"

namespace tonvale::wmf {

// One frame's values: its id ("TIT2"; a 2.2 id as it stands; "COMM" for a
// comment, "COMM:" and its description when it has one) and its texts.
using TFrameTexts = std::pair<std::string, std::vector<std::u16string>>;

// An attached picture (ID3v2 "APIC", WMA "WM/Picture").
struct TPicture {
  std::string Mime;
  uint8_t Type = 0;  // 3: the front cover
  std::u16string Description;
  std::vector<uint8_t> Data;
};
// Larger pictures are left out; a source that had one but no smaller one
// states it in an attribute of this name.
constexpr uint64_t kLargestPicture = 16 * 1024 * 1024;
// Its value says why: a picture too large, or a link to one (APIC's MIME
// type "-->") rather than a picture.
constexpr char16_t kPictureLeftOut[] = u"Tonvale/PictureLeftOut";
constexpr uint8_t kPictureWasTooLarge = 1, kPictureWasLinked = 2;

// Whether Candidate replaces the picture kept so far: the front cover, else
// the first picture.
bool BetterPicture(const TPicture& Kept, const TPicture& Candidate);
// A picture in the byte form of the WMA attribute "WM/Picture" (its type,
// its size, its MIME type and description in UTF-16 ending in a null, its
// data), and back; false when Size bytes do not hold one.
std::vector<uint8_t> WmPictureBytes(const TPicture& Picture);
bool ParseWmPicture(const uint8_t* Bytes, size_t Size, TPicture& Picture);

struct TLeadingTags {
  int64_t End = 0;  // where the source's own tags end, from Base
  std::vector<TFrameTexts> Texts;
  TPicture Picture;            // the front cover, else the first picture
  uint8_t PictureLeftOut = 0;  // why a picture was left out (kPictureWasTooLarge, kPictureWasLinked), 0: none was
};

// Reads exactly Count bytes at Position of Stream; false when they are not there.
bool ReadAt(IStream& Stream, uint64_t Position, void* Buffer, uint32_t Count);

// Reads the tags at Base of Stream; empty when the source starts with none.
TLeadingTags ReadLeadingTags(IStream& Stream, uint64_t Base);

// The texts of a text frame's body (encoding byte first): each value of
// several separated by zeros, the terminator dropped.
std::vector<std::u16string> FrameTexts(const uint8_t* Body, size_t Size);

}  // namespace tonvale::wmf
