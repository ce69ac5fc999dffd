#pragma once
// The one table of the fields a file's tags carry from source to output:
// each field's name in reports, its key among TagLib's properties, its WMA
// attribute, its ID3v2 frame, its RIFF INFO item and what an ID3v1 tag
// holds of it. Readers, writers, the report and the tag editor walk it, so a
// field is added by adding its row.

#include <cstddef>
#include <span>
#include <string_view>

namespace tonvale {

struct TTagField {
  const char* Name;      // "title", "album artist": as reports name it
  const char* Property;  // TagLib's property key: "TITLE"
  const char16_t* Wma;   // the WMA attribute: u"Title"
  const char* Id3v2;     // the ID3v2.4 frame: "TIT2"
  const char* Info;      // the RIFF INFO item ("INAM"), empty when it has none
  size_t Id3v1;          // the characters an ID3v1 tag holds of it, 0: none (or a number)
};

// Every field, the window's own first (title, artist, album, year, track,
// genre, comment), then those carried only.
std::span<const TTagField> TagFields();
// The row of Name, nullptr when there is none.
const TTagField* FindTagField(std::string_view Name);

}  // namespace tonvale
