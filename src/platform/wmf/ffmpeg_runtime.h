#pragma once
// The runtime's objects implemented over FFmpeg (libavformat, libavcodec,
// libswresample, libavutil).

#include <array>
#include <map>
#include <memory>
#include <vector>

#include "platform/wmf/wmf_interfaces.h"

namespace tonvale::wmf {

// Media properties holding one media type.
class TMediaProps : public IWMMediaProps {
 public:
  explicit TMediaProps(TWMMediaType Type) : FType(std::move(Type)) {}
  HRESULT GetMediaType(TWMMediaType* Type, uint32_t* Size) override;
  HRESULT SetMediaType(const TWMMediaType* Type) override;
  const TWMMediaType& Type() const { return FType; }

 private:
  TWMMediaType FType;
};

class TStreamConfig : public IWMStreamConfig {
 public:
  HRESULT GetMediaType(TWMMediaType* Type, uint32_t* Size) override;
  HRESULT SetMediaType(const TWMMediaType* Type) override;
  HRESULT GetBitrate(uint32_t* Bitrate) override;
  HRESULT SetStreamNumber(uint16_t Number) override;
  HRESULT SetStreamName(const std::u16string& Name) override;
  HRESULT SetConnectionName(const std::u16string& Name) override;

  static std::shared_ptr<TStreamConfig> ForFormat(uint32_t Codec, uint32_t Format);
  uint16_t StreamNumber() const { return FStreamNumber; }
  const TWMMediaType& Type() const { return FType; }
  uint32_t Bitrate() const { return FBitrate; }
  uint32_t Codec = 0;

 private:
  TWMMediaType FType;
  uint32_t FBitrate = 0;
  uint16_t FStreamNumber = 0;
  std::u16string FStreamName, FConnectionName;
};

class TProfile : public IWMProfile {
 public:
  HRESULT AddStream(IWMStreamConfig* Config) override;
  std::vector<std::shared_ptr<TStreamConfig>> Streams;
};

class TProfileManager : public IWMProfileManager {
 public:
  HRESULT CreateEmptyProfile(uint32_t Version, std::shared_ptr<IWMProfile>* Profile) override;
  HRESULT GetCodecInfoCount(TMajorType Type, uint32_t* Codecs) override;
  HRESULT GetCodecName(TMajorType Type, uint32_t Codec, char16_t* Name, uint32_t* Length) override;
  HRESULT GetCodecFormatCount(TMajorType Type, uint32_t Codec, uint32_t* Formats) override;
  HRESULT GetCodecFormat(TMajorType Type, uint32_t Codec, uint32_t Format,
                         std::shared_ptr<IWMStreamConfig>* Config) override;
  HRESULT GetCodecFormatDesc(TMajorType Type, uint32_t Codec, uint32_t Format, std::shared_ptr<IWMStreamConfig>* Config,
                             char16_t* Desc, uint32_t* Length) override;
  HRESULT SetCodecEnumerationSetting(TMajorType Type, uint32_t Codec, const std::u16string& Name,
                                     TWMTAttrDataType AttrType, const uint8_t* Value, uint32_t Size) override;
  HRESULT GetCodecFormatProp(TMajorType Type, uint32_t Codec, uint32_t Format, const std::u16string& Name,
                             TWMTAttrDataType* AttrType, uint8_t* Value, uint32_t* Size) override;

 private:
  std::array<bool, 2> FVbr{};
};

// Attributes held in memory: what a reader found, or what a writer will write.
class TAttributes : public IWMHeaderInfo {
 public:
  HRESULT GetAttributeByName(uint16_t* StreamNumber, const std::u16string& Name, TWMTAttrDataType* Type, uint8_t* Value,
                             uint32_t* Length) override;
  HRESULT SetAttribute(uint16_t StreamNumber, const std::u16string& Name, TWMTAttrDataType Type, const uint8_t* Value,
                       uint32_t Length) override;

  void SetString(const std::u16string& Name, const std::u16string& Text);
  void SetQword(const std::u16string& Name, uint64_t Value);
  // A byte-array attribute's bytes; empty when there is none.
  std::vector<uint8_t> Binary(const std::u16string& Name) const {
    auto it = FValues.find(Name);
    return it == FValues.end() || it->second.Type != WMT_TYPE_BINARY ? std::vector<uint8_t>() : it->second.Bytes;
  }
  // The string attributes as UTF-8 name and text, one pair a value.
  std::vector<std::pair<std::string, std::string>> Strings() const;

 private:
  struct TValue {
    TWMTAttrDataType Type;
    std::vector<uint8_t> Bytes;
  };
  std::map<std::u16string, TValue> FValues;
};

HRESULT CreateSyncReader(std::shared_ptr<IWMSyncReader>* Reader);
HRESULT CreateWriter(std::shared_ptr<IWMWriter>* Writer);
HRESULT CreateWriterFileSink(std::shared_ptr<IWMWriterFileSink>* Sink);
HRESULT CreateProfileManager(std::shared_ptr<IWMProfileManager>* Manager);

}  // namespace tonvale::wmf
