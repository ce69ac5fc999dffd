#include "conversion/output_tags.h"

#include "conversion/conversion_modes.h"
#include "platform/text.h"
#include "tags/genre_list.h"
#include "tags/id3v2_tags.h"

namespace tonvale {

std::vector<uint8_t> Id3v2TagFor(const TTagValues& Values, const std::string& Output) {
  TId3v2Tags tags;
  tags.SetTitle(Utf8ToUtf16(Values.TagTitle.empty() ? BaseName(Output) : Values.TagTitle));
  tags.SetArtist(Utf8ToUtf16(Values.TagArtist));
  tags.SetAlbum(Utf8ToUtf16(Values.TagAlbum));
  tags.SetYear(Utf8ToUtf16(Values.TagYear));
  tags.SetTrack(Utf8ToUtf16(Values.TagTrack));
  if (Values.TagGenreIndex > 0 && Values.TagGenreIndex < static_cast<int>(GenreList.size()))
    tags.SetGenre(Utf8ToUtf16(GenreList[Values.TagGenreIndex]));
  tags.SetComment(Utf8ToUtf16(Values.TagComment));
  return tags.Version4Tag();
}

}  // namespace tonvale
