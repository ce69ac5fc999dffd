#pragma once
// The descriptive attributes of a source as its own header or tag holds
// them, read without FFmpeg (which keeps one value per name, cuts a value at
// its first zero and mixes in the metadata of attached pictures): an ASF
// header's content description, extended content description and metadata
// (library) objects, and an
// APEv2 tag at the end of a file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wmf/leading_tags.h"

namespace tonvale::wmf {

// Every attribute of the ASF header at Base, by its name ("Title",
// "Description", "WM/TrackNumber"...), a repeated one with each value; a
// zero inside a text separates values. Numbers as decimal text; of byte
// arrays only the pictures, of which Picture gets the front cover (else the
// first); PictureLeftOut is set when a picture larger than kLargestPicture
// was stepped over. A copyright written as earlier versions of this program
// wrote the comment comes as "Description" when the file has none. Empty
// when the source is no ASF file.
std::vector<TFrameTexts> ReadAsfAttributes(IStream& Stream, uint64_t Base, TPicture& Picture, bool& PictureLeftOut);

// The items of an APEv2 tag at the end of the source (before an ID3v1 tag),
// by their keys as written ("Title", "Album Artist"...); empty when none.
std::vector<TFrameTexts> ReadApeTag(IStream& Stream, uint64_t Base);

// The longest text an ASF header holds in one value, in UTF-16 units (its
// size with the terminator fits 16 bits).
constexpr size_t kLongestAsfValue = 32766;

// The tags of a RIFF WAVE file: its "id3 " chunk's ID3v2 frames, then its
// LIST/INFO items under the ID3v2 ids of what they hold ("INAM" as "TIT2").
// Id3, when given, gets the id3 chunk's picture (or why it was left out).
std::vector<TFrameTexts> ReadWaveTags(IStream& Stream, TLeadingTags* Id3 = nullptr);

// The attribute Name ("Title", "Author", "WM/TrackNumber", "Description"...)
// of tags read as above, by the names other tools give it: from the first
// tag that has it, several values separated by zeros. A comment with a
// description counts when it is the only comment. False when none has it.
bool TagValue(const std::vector<TFrameTexts>& Tags, const std::u16string& Name, std::u16string& Value);

// FFmpeg keeps one value per name: a further value of a name goes to it
// under a stand-in name of the same length, its last letter replaced by a
// mark from the private-use area, and gets its name back in TidyAsfHeader.
constexpr char16_t kExtraValueMark = 0xE000;
std::u16string AsfExtraValueName(const std::u16string& Name, size_t Index);

// An attribute of a metadata library object: its name, type (0 text, 1
// bytes) and value as the object holds it.
struct TAsfRecord {
  std::u16string Name;
  uint16_t Type = 0;
  std::vector<uint8_t> Value;
};

// Puts the complete ASF file in Stream in order where FFmpeg wrote it
// otherwise: the stand-in names of further values (for the attribute
// names Names) get their names back, and the extended content description
// loses the attributes the content description holds already (FFmpeg
// writes them twice) when their space can stand as a padding object, so
// nothing after the header moves. The further values of those attributes
// leave it too and are returned, for the metadata library (AddAsfLibrary):
// players that keep one value per name (FFmpeg's) read the extended content
// description after the content description, the header extension before
// it, and so show the first value. Leaves the file as it is when it cannot.
std::vector<TAsfRecord> TidyAsfHeader(IStream& Stream, const std::vector<std::u16string>& Names);

// Adds Records ("WM/Picture", which FFmpeg does not write, further values)
// to the complete ASF file in Stream, in a metadata library object of its
// header extension; what follows the header moves back by its size. False
// when it could not.
bool AddAsfLibrary(IStream& Stream, const std::vector<TAsfRecord>& Records);

}  // namespace tonvale::wmf
