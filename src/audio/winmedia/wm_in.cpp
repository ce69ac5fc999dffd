#include "audio/winmedia/wm_in.h"

#include <cmath>

#include "audio/core/au_exception.h"
#include "audio/core/au_file_stream.h"
#include "platform/wmf/leading_tags.h"
#include "tags/genre_list.h"

namespace tonvale {

TWMIn::TWMIn(TAuComponent* Owner) : TAuTaggedFileIn(Owner) {}

TWMIn::~TWMIn() { BeforeDestruction(); }

TId3v2Tags& TWMIn::Id3v2Tags() {
  OpenSource();
  return TTagSets::Id3v2Tags();
}

void TWMIn::OpenSource() {
  std::lock_guard lock(OpenLock);
  if (OpenCount != 0) return;
  ForgetFormat();
  TTagSets::Id3v2Tags().Clear();
  if (!ExternalStream && FFileName.empty()) throw EAuException("File name is not assigned");
  if (!ExternalStream) {
    ReleaseStream();
    DataStream = new TAuFileStream(FFileName, fmOpenRead | fmShareDenyWrite);
  }
  WMAReaderOpen(FReader, DataStream);
  if (!FReader.Reader) {
    // Not a file the runtime reads: the input stays closed.
    if (!ExternalStream) ReleaseStream();
    if (!FReader.OpenError.empty()) throw EAuException(FReader.OpenError);
    return;
  }
  if (FReader.Protected) {
    WMAReaderClose(FReader);
    if (!ExternalStream) ReleaseStream();
    throw EAuException("File is protected");
  }
  DurationCs = static_cast<uint32_t>(std::nearbyint(static_cast<double>(FReader.Duration) / 100000.0));
  FChannels = FReader.Channels;
  FBitsPerSample = FReader.BitsPerSample;
  FSampleRate = FReader.SampleRate;
  FSampleCount = static_cast<int64_t>(std::trunc(DurationCs / 100.0 * FSampleRate));
  DataSize = FSampleCount * FChannels * (FBitsPerSample / 8);
  CanSeek = true;
  TId3v2Tags& tags = TTagSets::Id3v2Tags();
  tags.SetArtist(WMAReaderAuthor(FReader));
  tags.SetTitle(WMAReaderTitle(FReader));
  tags.SetAlbum(WMAReaderAlbum(FReader));
  tags.SetGenre(GenreByReference(WMAReaderGenre(FReader)));
  // "WM/TrackNumber" counts from 1; "WM/Track" counts from 0 in files of
  // other tools, from 1 in the files this program wrote before it wrote
  // "WM/TrackNumber": read as those.
  const std::u16string trackNumber = WMAReaderTag(FReader, u"WM/TrackNumber");
  tags.SetTrack(trackNumber.empty() ? WMAReaderTrack(FReader) : trackNumber);
  tags.SetYear(WMAReaderYear(FReader));
  // The comment is the description; a file without one (as this program
  // wrote them before) keeps its comment in "Copyright".
  const std::u16string description = WMAReaderTag(FReader, u"Description");
  const std::u16string copyright = WMAReaderCopyright(FReader);
  tags.SetComment(description.empty() ? copyright : description);
  tags.SetCopyright(description.empty() ? std::u16string() : copyright);
  tags.SetAlbumArtist(WMAReaderTag(FReader, u"WM/AlbumArtist"));
  tags.SetDisc(WMAReaderTag(FReader, u"WM/PartOfSet"));
  tags.SetComposer(WMAReaderTag(FReader, u"WM/Composer"));
  tags.SetPicture(WMAReaderBytes(FReader, u"WM/Picture"));
  tags.SetPictureLeftOut(FReader.HeaderInfo && [this] {
    uint16_t stream = 0;
    uint32_t length = 0;
    TWMTAttrDataType type;
    return FReader.HeaderInfo->GetAttributeByName(&stream, wmf::kPictureLeftOut, &type, nullptr, &length) == S_OK;
  }());
  ++OpenCount;
}

void TWMIn::CloseSource() {
  std::lock_guard lock(OpenLock);
  if (OpenCount == 0) return;
  WMAReaderClose(FReader);
  OpenCount = 0;
  if (!ExternalStream)
    ReleaseStream();
  else if (DataStream)
    DataStream->SetPosition(0);
}

void TWMIn::ReadData(uint8_t*& Buffer, uint32_t& Bytes) {
  const int64_t size = DataSize, pos = DataPosition;
  if (size > 0 && size - pos < Bytes) Bytes = static_cast<uint32_t>(std::max<int64_t>(size - pos, 0));
  WMAReaderRead(FReader, Buffer, Bytes);
}

bool TWMIn::SeekTo(int64_t& Sample) {
  if (!Reading || FSampleCount <= 0) return false;
  const double cs = std::nearbyint(static_cast<double>(Sample) / static_cast<double>(FSampleCount) * DurationCs);
  WMAReaderSeek(FReader, static_cast<uint32_t>(cs));
  return true;
}

}  // namespace tonvale
