#pragma once
// The APEv2 item set. It has no file format code of its own: the file
// operations are those of the container.

#include <string>

#include "tags/au_tags.h"

namespace tonvale {

class TAPEv2Tags : public TAuTags {
 public:
  TAPEv2Tags();

#define TONVALE_WIDE_ITEM(Prop, Key)                        \
  std::u16string Prop() const { return AsWideString(Key); } \
  void Set##Prop(const std::u16string& V) { SetValue(Key, V); }
#define TONVALE_TEXT_ITEM(Prop, Key)                 \
  std::string Prop() const { return AsString(Key); } \
  void Set##Prop(const std::string& V) { SetValue(Key, V); }

  TONVALE_WIDE_ITEM(Artist, "Artist")
  TONVALE_WIDE_ITEM(Composer, "Composer")
  TONVALE_WIDE_ITEM(Album, "Album")
  TONVALE_WIDE_ITEM(DebutAlbum, "Debut album")
  TONVALE_WIDE_ITEM(Publisher, "Publisher")
  TONVALE_WIDE_ITEM(Conductor, "Conductor")
  TONVALE_WIDE_ITEM(Copyright, "Copyright")
  TONVALE_TEXT_ITEM(ISBN, "ISBN")
  TONVALE_TEXT_ITEM(ISRC, "ISRC")
  TONVALE_TEXT_ITEM(BarCode, "EAN/UPC")
  TONVALE_TEXT_ITEM(LabelCode, "LC")
  TONVALE_TEXT_ITEM(Catalog, "Catalog")
  TONVALE_WIDE_ITEM(Language, "Language")
  TONVALE_WIDE_ITEM(Genre, "Genre")
  TONVALE_TEXT_ITEM(Year, "Year")
  TONVALE_TEXT_ITEM(RecordDate, "Record Date")
  TONVALE_WIDE_ITEM(RecordLocation, "Record Location")
  TONVALE_WIDE_ITEM(File_, "File")
  TONVALE_WIDE_ITEM(Related, "Related")
  TONVALE_WIDE_ITEM(Abstract, "Abstract")
  TONVALE_WIDE_ITEM(Bibliography, "Bibliography")
  TONVALE_TEXT_ITEM(Track, "Track")
  TONVALE_WIDE_ITEM(Title, "Title")
  TONVALE_WIDE_ITEM(SubTitle, "Subtitle")
  TONVALE_WIDE_ITEM(Comment, "Comment")

#undef TONVALE_WIDE_ITEM
#undef TONVALE_TEXT_ITEM
};

}  // namespace tonvale
