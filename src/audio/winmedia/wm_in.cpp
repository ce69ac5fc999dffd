#include "audio/winmedia/wm_in.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "audio/core/au_exception.h"
#include "audio/core/au_file_stream.h"
#include "tags/file_tags.h"
#include "tags/genre_list.h"

namespace tonvale {

namespace {

// The source begins (past any ID3v2 tag) with an MPEG audio frame header.
bool StartsAsMpegAudio(TStream& Source) {
  uint8_t head[10];
  if (Source.Seek(0, TSeekOrigin::soBeginning) != 0 || Source.Read(head, 10) != 10) return false;
  int64_t at = 0;
  if (std::memcmp(head, "ID3", 3) == 0)
    at = 10 + ((head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 | (head[8] & 0x7F) << 7 | (head[9] & 0x7F));
  uint8_t h[4];
  if (Source.Seek(at, TSeekOrigin::soBeginning) != at || Source.Read(h, 4) != 4) return false;
  // Sync, a layer, a bit rate and a sample rate that are not reserved.
  return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && (h[1] & 0x06) != 0 && (h[2] & 0xF0) != 0xF0 && (h[2] & 0x0C) != 0x0C;
}

}  // namespace

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
  FRefusal.clear();
  TTagSets::Id3v2Tags().Clear();
  if (!ExternalStream && FFileName.empty()) throw EAuException("File name is not assigned");
  if (!ExternalStream) {
    ReleaseStream();
    DataStream = new TAuFileStream(FFileName, fmOpenRead | fmShareDenyWrite);
  }
  WMAReaderOpen(FReader, DataStream, FExpectedFormat);
  if (!FReader.Reader) {
    // Not a file the runtime reads: the input stays closed. An MP3 header
    // with no frame to read after it (a header-only file) holds no audio.
    if (FReader.OpenError.empty() && StartsAsMpegAudio(*DataStream))
      FRefusal = "no audio, only the header of an MP3 file";
    if (!ExternalStream) ReleaseStream();
    if (!FReader.OpenError.empty()) throw EAuException(FReader.OpenError);
    return;
  }
  if (FReader.Protected) {
    WMAReaderClose(FReader);
    if (!ExternalStream) ReleaseStream();
    throw EAuException("File is protected");
  }
  FChannels = FReader.Channels;
  FBitsPerSample = FReader.BitsPerSample;
  FSampleRate = FReader.SampleRate;
  // The stated duration is what is shown; the data's length is the samples
  // the runtime counted, never a rounded time. A length beyond what a
  // duration in hundredths holds (32 bits: about 497 days) is a damaged
  // header's claim and is set aside: the data is then read to its end.
  const double cs = std::nearbyint(static_cast<double>(FReader.Duration) / 100000.0);
  DurationCs = cs <= static_cast<double>(UINT32_MAX) ? static_cast<uint32_t>(cs) : 0;
  const int64_t most = static_cast<int64_t>(UINT32_MAX / 100) * FSampleRate;
  FSampleCount = FReader.SampleCount >= 0 && FReader.SampleCount <= most ? FReader.SampleCount : -1;
  DataSize = std::max<int64_t>(FSampleCount, 0) * FChannels * (FBitsPerSample / 8);
  CanSeek = true;
  TId3v2Tags& tags = TTagSets::Id3v2Tags();
  if (!ExternalStream) {
    FileTagsToSet(ReadFileTags(FFileName), tags);
  } else {
    // A stream has no file for the tag reader: what the runtime found.
    tags.SetArtist(WMAReaderAuthor(FReader));
    tags.SetTitle(WMAReaderTitle(FReader));
    tags.SetAlbum(WMAReaderAlbum(FReader));
    tags.SetGenre(GenreByReference(WMAReaderGenre(FReader)));
    tags.SetTrack(WMAReaderTag(FReader, u"WM/TrackNumber"));
    tags.SetYear(WMAReaderYear(FReader));
    tags.SetComment(WMAReaderTag(FReader, u"Description"));
    tags.SetCopyright(WMAReaderCopyright(FReader));
  }
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

std::vector<TAuWarningText> TWMIn::ReadNotes() {
  // Decoders drop a frame or two at a damaged spot or a cut: a tenth of a
  // second, as a length they estimate may fall short.
  constexpr double kTolerance = 0.1;
  uint64_t lost = 0;
  if (!FReader.Reader || FSampleRate == 0 || FChannels == 0 || FBitsPerSample < 8 ||
      FReader.Reader->GetDecodeLoss(FReader.StreamNumber, &lost) != S_OK)
    return {};
  const uint32_t frameBytes = FChannels * (FBitsPerSample / 8);
  const double rate = FSampleRate, frame = frameBytes;
  const double lostSeconds = static_cast<double>(lost) / rate;
  if (lostSeconds <= kTolerance) return {};
  const double stated = static_cast<double>(DataSize) / frame / rate;
  const double read = static_cast<double>(DataPosition) / frame / rate;
  std::vector<TAuWarningText> notes{
      {TAuWarning::DecodeLoss, warnings::DecodeLoss(lostSeconds, std::max(stated, read + lostSeconds))}};
  // What is missing beyond that: the source ended early too (a cut file).
  if (const double missing = stated - read - lostSeconds; missing > kTolerance)
    notes.push_back({TAuWarning::SourceEndedEarly, warnings::SourceEndedEarly(missing, stated)});
  return notes;
}

void TWMIn::ReadData(uint8_t*& Buffer, uint32_t& Bytes) {
  const int64_t size = DataSize, pos = DataPosition;
  if (size > 0 && size - pos < Bytes) Bytes = static_cast<uint32_t>(std::max<int64_t>(size - pos, 0));
  WMAReaderRead(FReader, Buffer, Bytes);
}

bool TWMIn::SeekTo(int64_t& Sample) {
  if (!Reading || FSampleRate == 0 || Sample < 0) return false;
  // The sample's time in 100-ns units, rounded to the nearest.
  constexpr int64_t kUnits = 10000000;
  const int64_t rate = FSampleRate, whole = Sample / rate, part = Sample % rate;
  if (whole > INT64_MAX / kUnits - 1) return false;
  WMAReaderSeek(FReader, static_cast<uint64_t>(whole * kUnits + (part * kUnits + rate / 2) / rate));
  return true;
}

}  // namespace tonvale
