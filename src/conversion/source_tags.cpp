#include "conversion/source_tags.h"

#include "platform/handle_stream.h"
#include "platform/wmf/file_attributes.h"
#include "platform/wmf/stream_adapter.h"
#include "tags/genre_list.h"
#include "tags/id3v2_tags.h"

namespace tonvale {

void WaveSourceTags(const std::string& Path, TId3v2Tags& Tags) {
  Tags.Clear();
  const int fd = THandleStream::Open(Path, TFileAccess::Read, TFileSharing::Shared, false);
  if (fd < 0) return;
  THandleStream file(fd);
  TStreamAdapter stream(&file);
  wmf::TLeadingTags id3;
  const auto tags = wmf::ReadWaveTags(stream, &id3);
  const auto value = [&tags](const char16_t* Name) {
    std::u16string text;
    wmf::TagValue(tags, Name, text);
    return text;
  };
  Tags.SetTitle(value(u"Title"));
  Tags.SetArtist(value(u"Author"));
  Tags.SetAlbum(value(u"WM/AlbumTitle"));
  Tags.SetGenre(GenreByReference(value(u"WM/Genre")));
  Tags.SetTrack(value(u"WM/TrackNumber"));
  Tags.SetYear(value(u"WM/Year"));
  Tags.SetComment(value(u"Description"));
  Tags.SetCopyright(value(u"Copyright"));
  Tags.SetAlbumArtist(value(u"WM/AlbumArtist"));
  Tags.SetDisc(value(u"WM/PartOfSet"));
  Tags.SetComposer(value(u"WM/Composer"));
  if (!id3.Picture.Data.empty()) {
    const auto bytes = wmf::WmPictureBytes(id3.Picture);
    Tags.SetPicture(std::string(bytes.begin(), bytes.end()));
  }
  Tags.SetPictureLeftOut(id3.Picture.Data.empty() ? id3.PictureLeftOut : 0);
}

}  // namespace tonvale
