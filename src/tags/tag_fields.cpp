#include "tags/tag_fields.h"

#include <algorithm>

namespace tonvale {
namespace {

constexpr TTagField kFields[] = {
    {"title", "TITLE", u"Title", "TIT2", "INAM", 30},
    {"artist", "ARTIST", u"Author", "TPE1", "IART", 30},
    {"album", "ALBUM", u"WM/AlbumTitle", "TALB", "IPRD", 30},
    {"year", "DATE", u"WM/Year", "TDRC", "ICRD", 4},
    {"track", "TRACKNUMBER", u"WM/TrackNumber", "TRCK", "ITRK", 0},
    {"genre", "GENRE", u"WM/Genre", "TCON", "IGNR", 0},
    {"comment", "COMMENT", u"Description", "COMM", "ICMT", 28},
    {"copyright", "COPYRIGHT", u"Copyright", "TCOP", "ICOP", 0},
    {"album artist", "ALBUMARTIST", u"WM/AlbumArtist", "TPE2", "", 0},
    {"disc", "DISCNUMBER", u"WM/PartOfSet", "TPOS", "", 0},
    {"composer", "COMPOSER", u"WM/Composer", "TCOM", "", 0},
    {"conductor", "CONDUCTOR", u"WM/Conductor", "TPE3", "", 0},
};

}  // namespace

std::span<const TTagField> TagFields() { return kFields; }

const TTagField* FindTagField(std::string_view Name) {
  const auto* found =
      std::find_if(std::begin(kFields), std::end(kFields), [&](const TTagField& F) { return F.Name == Name; });
  return found == std::end(kFields) ? nullptr : found;
}

}  // namespace tonvale
