#include "conversion/run_values.h"

namespace tonvale {

bool TTagOverrides::Any() const { return Title || Artist || Album || Year || Track || Comment || GenreIndex; }

void TTagOverrides::ApplyTo(TTagValues& Values) const {
  if (Title) Values.TagTitle = *Title;
  if (Artist) Values.TagArtist = *Artist;
  if (Album) Values.TagAlbum = *Album;
  if (Year) Values.TagYear = *Year;
  if (Track) Values.TagTrack = *Track;
  if (Comment) Values.TagComment = *Comment;
  if (GenreIndex) {
    Values.TagGenreIndex = *GenreIndex;
    Values.TagGenreName.clear();
  }
}

TRunValues TRunValues::Current() {
  TRunValues values;
  values.Settings = tonvale::Settings;
  values.Tags = TagValues;
  values.TagsToWma = tonvale::Settings.IsShowTagEditor;
  values.Jobs = tonvale::Settings.Jobs;
  return values;
}

}  // namespace tonvale
