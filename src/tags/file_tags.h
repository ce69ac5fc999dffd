#pragma once
// The tags of a file of any container Tonvale reads or writes, read through
// TagLib into the rows of the field table; and the tags of a WMA file
// written the same way.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tags/tag_picture.h"

namespace tonvale {

class TId3v2Tags;

struct TFileTags {
  // By the field table's names, each with its values in the order the file
  // gives them; a field no tag of the file holds is absent.
  std::vector<std::pair<std::string, std::vector<std::u16string>>> Fields;
  TTagPicture Picture;         // the front cover, else the first picture
  uint8_t PictureLeftOut = 0;  // why a picture was left out, 0: none was

  // The values of Name, empty when none.
  std::vector<std::u16string> Values(std::string_view Name) const;
  // Takes Values for Name unless an earlier tag gave it some.
  void Add(std::string_view Name, std::vector<std::u16string> Values);
  // Keeps Candidate if it is the better picture (or why it was left out).
  void Offer(TTagPicture Candidate);
  // Notes why a picture was left out, unless one was kept.
  void LeaveOut(uint8_t Why);
};

// The tags of the file at Path, by its content: an MP3's leading ID3v2 tags
// (each frame that can be read, past broken ones), then its APEv2 and ID3v1
// tags; a WMA's content description and attributes; a WAV's first id3 chunk,
// then its LIST/INFO chunk; any other container TagLib reads. Empty when
// the file cannot be read.
TFileTags ReadFileTags(const std::string& Path);
// The same of a file held in memory, its kind by Extension ("mp3").
TFileTags ReadTagBytes(const std::vector<uint8_t>& Bytes, std::string_view Extension);

// The values of Tags in a tag set, for the conversion that follows; and
// back. Several values are separated by zero characters; the picture goes
// in the byte form of "WM/Picture".
void FileTagsToSet(const TFileTags& Tags, TId3v2Tags& Set);
TFileTags SetToFileTags(const TId3v2Tags& Set);

// Writes Tags as the attributes of the finished WMA file at Path (the
// content description and extended content description, further values
// and large ones in the metadata library). False when it could not.
bool WriteWmaTags(const std::string& Path, const TFileTags& Tags);

// The ID3v2.4 tag of Tags, UTF-8, with room for a tag editor after it;
// empty when Tags hold nothing.
std::vector<uint8_t> RenderId3v2(const TFileTags& Tags);

// The longest text a WMA header holds in one value, in UTF-16 units (its
// size with the terminator fits 16 bits).
constexpr size_t kLongestAsfValue = 32766;

}  // namespace tonvale
