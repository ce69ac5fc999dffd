#include "audio/winmedia/wma_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "audio/core/au_exception.h"

namespace tonvale {

void WMAReaderOpen(TWMAReader& R, TStream* Source, const std::string& Expected) {
  R = TWMAReader{};
  if (WMCreateSyncReader(nullptr, 0, &R.Reader) != S_OK || !R.Reader) {
    R.Reader.reset();
    return;
  }
  if (!Expected.empty()) R.Reader->SetExpectedFormat(Expected);
  R.Adapter = std::make_shared<TStreamAdapter>(Source);
  R.AdapterStream = R.Adapter;
  Source->Seek(0, TSeekOrigin::soBeginning);
  if (R.Reader->OpenStream(R.AdapterStream) != S_OK) {
    // Some sources open only past a leading block of 30 bytes: the runtime
    // then reads the stream from there as its start.
    Source->Seek(30, TSeekOrigin::soBeginning);
    if (R.Reader->OpenStream(R.AdapterStream) != S_OK) {
      R.OpenError = R.Adapter->ReadError();
      R.Reader.reset();
      R.Adapter.reset();
      R.AdapterStream.reset();
      return;
    }
  }
  uint32_t outputs = 0;
  if (R.Reader->GetOutputCount(&outputs) != S_OK) {
    R.Reader.reset();
    R.Adapter.reset();
    R.AdapterStream.reset();
    return;
  }
  for (uint32_t i = 0; i < outputs; ++i) {
    std::shared_ptr<IWMOutputMediaProps> props;
    if (R.Reader->GetOutputProps(i, &props) != S_OK || !props) continue;
    uint32_t size = 0;
    TWMMediaType type;
    if (props->GetMediaType(nullptr, &size) != S_OK || props->GetMediaType(&type, &size) != S_OK) continue;
    if (!type.IsWaveFormat()) continue;
    // The last audio output wins.
    R.Found = true;
    R.OutputNumber = i;
    R.Channels = type.Wave()->nChannels;
    R.SampleRate = type.Wave()->nSamplesPerSec;
    R.BitsPerSample = type.Wave()->wBitsPerSample;
    R.Reader->SetOutputProps(i, props.get());
  }
  if (!R.Found) return;
  R.Reader->GetStreamNumberForOutput(R.OutputNumber, &R.StreamNumber);
  R.Protected = R.Reader->SetReadStreamSamples(R.StreamNumber, false) == NS_E_PROTECTED_CONTENT;
  R.HeaderInfo = R.Reader->HeaderInfo();
  if (R.HeaderInfo) {
    uint16_t stream = 0;
    uint32_t length = 8;
    TWMTAttrDataType type;
    uint64_t duration = 0;
    if (R.HeaderInfo->GetAttributeByName(&stream, u"Duration", &type, reinterpret_cast<uint8_t*>(&duration), &length) ==
        S_OK)
      R.Duration = duration;
  }
  uint64_t samples = 0;
  if (R.Reader->GetSampleCount(R.StreamNumber, &samples) == S_OK && samples <= INT64_MAX)
    R.SampleCount = static_cast<int64_t>(samples);
}

void WMAReaderClose(TWMAReader& R) {
  if (R.Reader) R.Reader->Close();
  R.Sample.reset();
  R.Reader.reset();
  R.HeaderInfo.reset();
  R.AdapterStream.reset();
  R.Adapter.reset();
  R.SampleOffset = 0;
}

void WMAReaderRead(TWMAReader& R, uint8_t*& Buffer, uint32_t& Bytes) {
  for (;;) {
    if (R.Sample) {
      uint8_t* p = nullptr;
      uint32_t length = 0;
      if (R.Sample->GetBufferAndLength(&p, &length) == S_OK && R.SampleOffset < length) {
        const uint32_t n = std::min(length - R.SampleOffset, Bytes);
        Buffer = p + R.SampleOffset;
        Bytes = n;
        R.SampleOffset += n;
        return;
      }
      R.Sample.reset();
      R.SampleOffset = 0;
    }
    uint64_t time = 0, duration = 0;
    uint32_t flags = 0, output = 0;
    uint16_t stream = 0;
    const HRESULT result =
        R.Reader ? R.Reader->GetNextSample(R.StreamNumber, &R.Sample, &time, &duration, &flags, &output, &stream)
                 : NS_E_NO_MORE_SAMPLES;
    if (result == STG_E_READFAULT) {
      R.Sample.reset();
      const std::string reason = R.Adapter ? R.Adapter->ReadError() : std::string();
      throw EAuException(reason.empty() ? "The source could not be read" : reason);
    }
    if (result != S_OK) {
      R.Sample.reset();
      Buffer = nullptr;
      Bytes = 0;
      return;
    }
  }
}

void WMAReaderSeek(TWMAReader& R, uint64_t Time) {
  if (R.Reader) R.Reader->SetRange(Time, 0);
}

std::u16string WMAReaderTag(TWMAReader& R, const std::u16string& Name) {
  if (!R.HeaderInfo) return {};
  uint16_t stream = 0;
  uint32_t length = 0;
  TWMTAttrDataType type;
  if (R.HeaderInfo->GetAttributeByName(&stream, Name, &type, nullptr, &length) != S_OK) return {};
  std::vector<uint8_t> bytes(length);
  if (R.HeaderInfo->GetAttributeByName(&stream, Name, &type, bytes.data(), &length) != S_OK) return {};
  std::u16string text(length / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  // The count includes the terminating null; a null inside separates values.
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

std::string WMAReaderBytes(TWMAReader& R, const std::u16string& Name) {
  if (!R.HeaderInfo) return {};
  uint16_t stream = 0;
  uint32_t length = 0;
  TWMTAttrDataType type;
  if (R.HeaderInfo->GetAttributeByName(&stream, Name, &type, nullptr, &length) != S_OK || type != WMT_TYPE_BINARY)
    return {};
  std::string bytes(length, '\0');
  if (R.HeaderInfo->GetAttributeByName(&stream, Name, &type, reinterpret_cast<uint8_t*>(bytes.data()), &length) != S_OK)
    return {};
  return bytes;
}

std::u16string WMAReaderAuthor(TWMAReader& R) { return WMAReaderTag(R, u"Author"); }
std::u16string WMAReaderTitle(TWMAReader& R) { return WMAReaderTag(R, u"Title"); }
std::u16string WMAReaderAlbum(TWMAReader& R) { return WMAReaderTag(R, u"WM/AlbumTitle"); }
std::u16string WMAReaderGenre(TWMAReader& R) { return WMAReaderTag(R, u"WM/Genre"); }
std::u16string WMAReaderTrack(TWMAReader& R) { return WMAReaderTag(R, u"WM/Track"); }
std::u16string WMAReaderYear(TWMAReader& R) { return WMAReaderTag(R, u"WM/Year"); }
std::u16string WMAReaderCopyright(TWMAReader& R) { return WMAReaderTag(R, u"Copyright"); }

}  // namespace tonvale
