#pragma once
// The tags of a written output read back with this program's own readers
// (an MP3's ID3v2 and ID3v1 tags, a WMA's ASF attributes, a WAV's LIST/INFO
// chunk), and the values put in that none of them holds whole.

#include <string>
#include <vector>

#include "settings/tag_values.h"

namespace tonvale {

struct TFileTags;

// The fields of Values ("title", "artist", "album artist", "picture"...)
// that no tag of the file at Path (the output Output, by whose extension it
// is read; an MP3 or WAV output without a title gets Output's name) holds
// whole. Several values count as held when a tag holds them each, or all
// joined by "; " where it holds one text; a genre by either of its names or
// its ID3v1 number.
std::vector<std::string> ValuesNotKept(const TTagValues& Values, const std::string& Output, const std::string& Path);
// The same of the tags Read.
std::vector<std::string> ValuesNotKept(const TTagValues& Values, const std::string& Output, const TFileTags& Read);

}  // namespace tonvale
