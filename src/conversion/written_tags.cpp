#include "conversion/written_tags.h"

#include "conversion/conversion_modes.h"
#include "platform/handle_stream.h"
#include "platform/text.h"
#include "platform/wmf/file_attributes.h"
#include "platform/wmf/stream_adapter.h"
#include "tags/genre_list.h"
#include "tags/id3v1_tags.h"
#include "tags/tag_text.h"

namespace tonvale {

std::vector<std::string> ValuesNotKept(const TTagValues& Values, const std::string& Output, const std::string& Path) {
  const std::string extension = ExtensionOf(Output);
  std::vector<wmf::TFrameTexts> tags;
  wmf::TPicture picture;
  TId3v1Tags id3v1;
  bool v1 = false;
  const int fd = THandleStream::Open(Path, TFileAccess::Read, TFileSharing::Shared, false);
  if (fd < 0) return {};
  {
    THandleStream file(fd);
    TStreamAdapter stream(&file);
    if (extension == "mp3") {
      auto leading = wmf::ReadLeadingTags(stream, 0);
      tags = std::move(leading.Texts);
      picture = std::move(leading.Picture);
      v1 = id3v1.ReadFromFile(fd);
    } else if (extension == "wma") {
      bool leftOut = false;
      tags = wmf::ReadAsfAttributes(stream, 0, picture, leftOut);
    } else if (extension == "wav") {
      tags = wmf::ReadWaveTags(stream);
    }
  }
  const auto read = [&tags](const char16_t* Name) {
    std::u16string value;
    wmf::TagValue(tags, Name, value);
    return Utf16ToUtf8(value);
  };
  const struct {
    const char* Field;
    std::string Value;
    const char16_t* Name;
    std::string Id3v1;
  } fields[] = {{"title", Values.TagTitle.empty() && extension != "wma" ? TitleFromName(Output) : Values.TagTitle,
                 u"Title", v1 ? id3v1.Title() : ""},
                {"artist", Values.TagArtist, u"Author", v1 ? id3v1.Artist() : ""},
                {"album", Values.TagAlbum, u"WM/AlbumTitle", v1 ? id3v1.Album() : ""},
                {"year", Values.TagYear, u"WM/Year", v1 && id3v1.Year() ? std::to_string(id3v1.Year()) : ""},
                {"track", Values.TagTrack, u"WM/TrackNumber", v1 && id3v1.Track() ? std::to_string(id3v1.Track()) : ""},
                {"comment", Values.TagComment, u"Description", v1 ? id3v1.Comment() : ""},
                {"copyright", Values.TagCopyright, u"Copyright", ""},
                {"album artist", Values.TagAlbumArtist, u"WM/AlbumArtist", ""},
                {"disc", Values.TagDisc, u"WM/PartOfSet", ""},
                {"composer", Values.TagComposer, u"WM/Composer", ""}};
  std::vector<std::string> lost;
  const auto whole = [](const std::string& Read, const std::string& Value) {
    return !Read.empty() && (Read == Value || Read == JoinedValues(Value));
  };
  for (const auto& f : fields)
    if (!f.Value.empty() && !whole(read(f.Name), f.Value) && !whole(f.Id3v1, f.Value)) lost.emplace_back(f.Field);
  // A genre of the list by either of its names or its number; another by its name.
  const int index = Values.TagGenreIndex;
  const std::string genre = read(u"WM/Genre");
  if (index > 0 && index < static_cast<int>(GenreList.size())) {
    const uint8_t number = GenreIndexToId3(static_cast<uint8_t>(index));
    const int position = genre.empty() ? -1 : GenrePosition(genre);
    if ((position < 0 || GenreIndexToId3(static_cast<uint8_t>(position)) != number) &&
        !(v1 && id3v1.AsInteger("genre") == number))
      lost.emplace_back("genre");
  } else if (!Values.TagGenreName.empty() && !whole(genre, Values.TagGenreName)) {
    lost.emplace_back("genre");
  }
  wmf::TPicture want;
  const auto* bytes = reinterpret_cast<const uint8_t*>(Values.TagPicture.data());
  if (wmf::ParseWmPicture(bytes, Values.TagPicture.size(), want) &&
      (want.Mime != picture.Mime || want.Type != picture.Type || want.Description != picture.Description ||
       want.Data != picture.Data))
    lost.emplace_back("picture");
  return lost;
}

}  // namespace tonvale
