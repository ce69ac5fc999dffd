#include "settings/tag_values.h"

#include <string_view>
#include <type_traits>

#include "platform/text.h"
#include "tags/genre_list.h"
#include "tags/id3v2_tags.h"

namespace tonvale {

TTagValues TagValues;

void ResetTagValues() { TagValues = TTagValues{}; }

namespace {

template <typename TValues>
auto* FieldText(TValues& Values, const TTagField& Field) {
  const std::string_view name = Field.Name;
  if (name == "title") return &Values.TagTitle;
  if (name == "artist") return &Values.TagArtist;
  if (name == "album") return &Values.TagAlbum;
  if (name == "year") return &Values.TagYear;
  if (name == "track") return &Values.TagTrack;
  if (name == "comment") return &Values.TagComment;
  if (name == "genre") return static_cast<decltype(&Values.TagTitle)>(nullptr);
  if constexpr (std::is_const_v<TValues>) {
    static const std::string kNone;
    const auto found = Values.TagCarried.find(Field.Name);
    return found == Values.TagCarried.end() ? &kNone : &found->second;
  } else {
    return &Values.TagCarried[Field.Name];
  }
}

}  // namespace

std::string* TagText(TTagValues& Values, const TTagField& Field) { return FieldText(Values, Field); }

const std::string* TagText(const TTagValues& Values, const TTagField& Field) { return FieldText(Values, Field); }

std::string CarriedTag(const TTagValues& Values, const std::string& Name) {
  const auto found = Values.TagCarried.find(Name);
  return found == Values.TagCarried.end() ? std::string() : found->second;
}

void CopyTagValues(const TTagValues& Values, TId3v2Tags& Tags) {
  for (const TTagField& f : TagFields()) {
    const std::string* text = TagText(Values, f);
    if (text && !text->empty()) Tags.SetValue(Tags.FieldKey(f), Utf8ToUtf16(*text));
  }
  if (Values.TagGenreIndex > 0 && Values.TagGenreIndex < static_cast<int>(GenreList.size()))
    Tags.SetGenre(Utf8ToUtf16(StandardGenreName(Values.TagGenreIndex)));
  else if (!Values.TagGenreName.empty())
    Tags.SetGenre(Utf8ToUtf16(Values.TagGenreName));
  if (!Values.TagPicture.empty()) Tags.SetPicture(Values.TagPicture);
  if (Values.TagPictureLeftOut) Tags.SetPictureLeftOut(Values.TagPictureLeftOut);
}

int GenreNameToIndex(const std::string& Name) { return GenrePosition(Name); }

}  // namespace tonvale
