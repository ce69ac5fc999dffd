#pragma once
// The runtime's objects: the synchronous reader, the writer with its file
// sink, the profile manager with codec information, and what they hand out.
// Plain interfaces owned through shared pointers; 0 means success.

#include <memory>
#include <string>

#include "platform/wmf/wmf_types.h"

namespace tonvale {

class IWMMediaProps {
 public:
  virtual ~IWMMediaProps() = default;
  // With Type null, Size receives the bytes the type needs.
  virtual HRESULT GetMediaType(TWMMediaType* Type, uint32_t* Size) = 0;
  virtual HRESULT SetMediaType(const TWMMediaType* Type) = 0;
};

using IWMOutputMediaProps = IWMMediaProps;
using IWMInputMediaProps = IWMMediaProps;

class IWMStreamConfig : public IWMMediaProps {
 public:
  virtual HRESULT GetBitrate(uint32_t* Bitrate) = 0;
  virtual HRESULT SetStreamNumber(uint16_t Number) = 0;
  virtual HRESULT SetStreamName(const std::u16string& Name) = 0;
  virtual HRESULT SetConnectionName(const std::u16string& Name) = 0;
};

class IWMProfile {
 public:
  virtual ~IWMProfile() = default;
  virtual HRESULT AddStream(IWMStreamConfig* Config) = 0;
};

// Header attributes. Strings are UTF-16 with a terminating null, counted in
// bytes; with Value null, Length receives the bytes the value needs.
class IWMHeaderInfo {
 public:
  virtual ~IWMHeaderInfo() = default;
  virtual HRESULT GetAttributeByName(uint16_t* StreamNumber, const std::u16string& Name, TWMTAttrDataType* Type,
                                     uint8_t* Value, uint32_t* Length) = 0;
  virtual HRESULT SetAttribute(uint16_t StreamNumber, const std::u16string& Name, TWMTAttrDataType Type,
                               const uint8_t* Value, uint32_t Length) = 0;
};

class IWMSyncReader {
 public:
  virtual ~IWMSyncReader() = default;
  virtual HRESULT OpenStream(const std::shared_ptr<IStream>& Stream) = 0;
  // The kind of file the source is named as ("mp3"), set before OpenStream:
  // the content is read as that kind unless it plainly is another kind the
  // program reads. E_NOTIMPL from a runtime that recognises content only.
  virtual HRESULT SetExpectedFormat(const std::string& Name) {
    (void)Name;
    return E_NOTIMPL;
  }
  virtual HRESULT GetOutputCount(uint32_t* Outputs) = 0;
  virtual HRESULT GetOutputProps(uint32_t Output, std::shared_ptr<IWMOutputMediaProps>* Props) = 0;
  virtual HRESULT SetOutputProps(uint32_t Output, IWMOutputMediaProps* Props) = 0;
  virtual HRESULT GetStreamNumberForOutput(uint32_t Output, uint16_t* StreamNumber) = 0;
  virtual HRESULT SetReadStreamSamples(uint16_t StreamNumber, bool Compressed) = 0;
  virtual HRESULT GetNextSample(uint16_t StreamNumber, std::shared_ptr<INSSBuffer>* Sample, uint64_t* SampleTime,
                                uint64_t* Duration, uint32_t* Flags, uint32_t* OutputNumber,
                                uint16_t* StreamNumberRead) = 0;
  // Start in 100-ns units; Duration 0 reads to the end.
  virtual HRESULT SetRange(uint64_t Start, int64_t Duration) = 0;
  // The samples (per channel) the stream's output delivers, counted over its
  // data, or the length its header states where that is clearly longer (a
  // cut file). E_NOTIMPL from a runtime that does not count them.
  virtual HRESULT GetSampleCount(uint16_t StreamNumber, uint64_t* Samples) {
    (void)StreamNumber;
    (void)Samples;
    return E_NOTIMPL;
  }
  // The samples (per channel, at the output's rate) of the stream's packets
  // read so far that could not be decoded. E_NOTIMPL from a runtime that
  // does not count them.
  virtual HRESULT GetDecodeLoss(uint16_t StreamNumber, uint64_t* LostSamples) {
    (void)StreamNumber;
    (void)LostSamples;
    return E_NOTIMPL;
  }
  virtual HRESULT Close() = 0;
  virtual std::shared_ptr<IWMHeaderInfo> HeaderInfo() = 0;
};

class IWMWriterSink {
 public:
  virtual ~IWMWriterSink() = default;
};

class IWMWriterFileSink : public IWMWriterSink {
 public:
  virtual HRESULT Open(const std::u16string& FileName) = 0;
  // Writes into a stream the caller opened (and keeps open) instead.
  virtual HRESULT OpenStream(const std::shared_ptr<IStream>& Stream) {
    (void)Stream;
    return E_NOTIMPL;
  }
};

class IWMWriter {
 public:
  virtual ~IWMWriter() = default;
  virtual HRESULT SetProfile(IWMProfile* Profile) = 0;
  virtual HRESULT GetInputCount(uint32_t* Inputs) = 0;
  virtual HRESULT GetInputProps(uint32_t Input, std::shared_ptr<IWMInputMediaProps>* Props) = 0;
  virtual HRESULT SetInputProps(uint32_t Input, IWMInputMediaProps* Props) = 0;
  virtual HRESULT BeginWriting() = 0;
  virtual HRESULT AllocateSample(uint32_t Size, std::shared_ptr<INSSBuffer>* Sample) = 0;
  virtual HRESULT WriteSample(uint32_t Input, uint64_t SampleTime, uint32_t Flags, INSSBuffer* Sample) = 0;
  virtual HRESULT EndWriting() = 0;
  // The writer's advanced interface.
  virtual HRESULT AddSink(std::shared_ptr<IWMWriterSink> Sink) = 0;
  virtual std::shared_ptr<IWMHeaderInfo> HeaderInfo() = 0;
};

// The profile manager with its codec information.
class IWMProfileManager {
 public:
  virtual ~IWMProfileManager() = default;
  virtual HRESULT CreateEmptyProfile(uint32_t Version, std::shared_ptr<IWMProfile>* Profile) = 0;
  virtual HRESULT GetCodecInfoCount(TMajorType Type, uint32_t* Codecs) = 0;
  // With Name null, Length receives the characters needed, with the null.
  virtual HRESULT GetCodecName(TMajorType Type, uint32_t Codec, char16_t* Name, uint32_t* Length) = 0;
  virtual HRESULT GetCodecFormatCount(TMajorType Type, uint32_t Codec, uint32_t* Formats) = 0;
  virtual HRESULT GetCodecFormat(TMajorType Type, uint32_t Codec, uint32_t Format,
                                 std::shared_ptr<IWMStreamConfig>* Config) = 0;
  virtual HRESULT GetCodecFormatDesc(TMajorType Type, uint32_t Codec, uint32_t Format,
                                     std::shared_ptr<IWMStreamConfig>* Config, char16_t* Desc, uint32_t* Length) = 0;
  virtual HRESULT SetCodecEnumerationSetting(TMajorType Type, uint32_t Codec, const std::u16string& Name,
                                             TWMTAttrDataType AttrType, const uint8_t* Value, uint32_t Size) = 0;
  virtual HRESULT GetCodecFormatProp(TMajorType Type, uint32_t Codec, uint32_t Format, const std::u16string& Name,
                                     TWMTAttrDataType* AttrType, uint8_t* Value, uint32_t* Size) = 0;
};

// The runtime's creation functions. Tests may put another runtime in place.
struct TWMRuntime {
  HRESULT (*CreateSyncReader)(std::shared_ptr<IWMSyncReader>* Reader);
  HRESULT (*CreateWriter)(std::shared_ptr<IWMWriter>* Writer);
  HRESULT (*CreateWriterFileSink)(std::shared_ptr<IWMWriterFileSink>* Sink);
  HRESULT (*CreateProfileManager)(std::shared_ptr<IWMProfileManager>* Manager);
};

// The runtime over FFmpeg.
const TWMRuntime& FFmpegRuntime();
// Puts Runtime in place for every later creation; returns the one it replaced.
TWMRuntime SetWMRuntime(const TWMRuntime& Runtime);

HRESULT WMCreateSyncReader(void* Certificate, uint32_t Rights, std::shared_ptr<IWMSyncReader>* Reader);
HRESULT WMCreateWriter(void* Certificate, std::shared_ptr<IWMWriter>* Writer);
HRESULT WMCreateWriterFileSink(std::shared_ptr<IWMWriterFileSink>* Sink);
HRESULT WMCreateProfileManager(std::shared_ptr<IWMProfileManager>* Manager);

}  // namespace tonvale
