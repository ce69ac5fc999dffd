#pragma once
// The pending tag values of a conversion, and the genre list lookup.

#include <map>
#include <string>

#include "tags/tag_fields.h"

namespace tonvale {

struct TTagValues {
  std::string TagTitle;  // empty: the output file's name is used
  std::string TagArtist;
  std::string TagAlbum;
  std::string TagYear;
  std::string TagTrack;
  std::string TagComment;
  int TagGenreIndex = -1;  // position in the genre list; 0 the empty entry, -1 none
  // With TagGenreIndex -1: a genre a source named that the list has no entry
  // for (targets that hold any name keep it).
  std::string TagGenreName;
  // Beyond what the window edits, carried from source to output: the other
  // fields of the tag field table by their names ("album artist"). Several
  // values of one field are separated by zero characters.
  std::map<std::string, std::string> TagCarried;
  std::string TagPicture;         // the front cover, as the WMA attribute "WM/Picture" holds it
  uint8_t TagPictureLeftOut = 0;  // why the source's picture was not carried (too large, a link), 0: it was
};

extern TTagValues TagValues;

// The text of a field of the table in Values: the window's own in its
// member, the rest in TagCarried; nullptr for the genre (a list position).
std::string* TagText(TTagValues& Values, const TTagField& Field);
const std::string* TagText(const TTagValues& Values, const TTagField& Field);
// The carried value of Name ("composer"), empty when none.
std::string CarriedTag(const TTagValues& Values, const std::string& Name);

class TId3v2Tags;
// Stores the values Values has in Tags (the genre by its name, the picture
// and why one was left out), leaving the others as they are.
void CopyTagValues(const TTagValues& Values, TId3v2Tags& Tags);

// Empties every field; the genre becomes -1.
void ResetTagValues();

// The first genre-list position whose entry, or the published name of its
// ID3v1 number, equals Name ignoring the case of ASCII letters; -1 when
// none. An empty Name gives the empty entry 0.
int GenreNameToIndex(const std::string& Name);

}  // namespace tonvale
