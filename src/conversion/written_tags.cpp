#include "conversion/written_tags.h"

#include "conversion/conversion_modes.h"
#include "platform/text.h"
#include "tags/file_tags.h"
#include "tags/genre_list.h"
#include "tags/tag_fields.h"
#include "tags/tag_text.h"

namespace tonvale {
namespace {

bool SamePicture(const TTagPicture& A, const TTagPicture& B) {
  return PictureMime(A.Data, A.Mime) == PictureMime(B.Data, B.Mime) && A.Type == B.Type &&
         A.Description == B.Description && A.Data == B.Data;
}

}  // namespace

std::vector<std::string> ValuesNotKept(const TTagValues& Values, const std::string& Output, const std::string& Path) {
  return ValuesNotKept(Values, Output, ReadFileTags(Path));
}

// An MP3's ID3v1 tag counts for the fields its ID3v2 tag does not hold: the
// reader takes them from it.
std::vector<std::string> ValuesNotKept(const TTagValues& Values, const std::string& Output, const TFileTags& tags) {
  const std::string extension = ExtensionOf(Output);
  const auto read = [&tags](std::string_view Name) { return Utf16ToUtf8(ZeroJoined(tags.Values(Name))); };
  const auto whole = [](const std::string& Read, const std::string& Value) {
    return !Read.empty() && (Read == Value || Read == JoinedValues(Value));
  };
  std::vector<std::string> lost;
  for (const TTagField& f : TagFields()) {
    const std::string* text = TagText(Values, f);
    if (!text) continue;
    const std::string_view name = f.Name;
    const std::string value = name == "title" && text->empty() && extension != "wma" ? TitleFromName(Output) : *text;
    if (!value.empty() && !whole(read(name), value)) lost.emplace_back(f.Name);
  }
  // A genre of the list by either of its names or its number; another by its name.
  const int index = Values.TagGenreIndex;
  const std::string genre = read("genre");
  if (index > 0 && index < static_cast<int>(GenreList.size())) {
    const uint8_t number = GenreIndexToId3(static_cast<uint8_t>(index));
    const int position = genre.empty() ? -1 : GenrePosition(genre);
    if (position < 0 || GenreIndexToId3(static_cast<uint8_t>(position)) != number) lost.emplace_back("genre");
  } else if (!Values.TagGenreName.empty() && !whole(genre, Values.TagGenreName)) {
    lost.emplace_back("genre");
  }
  TTagPicture want;
  const auto* bytes = reinterpret_cast<const uint8_t*>(Values.TagPicture.data());
  if (ParseWmPicture(bytes, Values.TagPicture.size(), want) && !SamePicture(want, tags.Picture))
    lost.emplace_back("picture");
  return lost;
}

}  // namespace tonvale
