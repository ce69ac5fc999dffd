// The profile manager of the FFmpeg runtime: codec and format lists, stream
// configurations and profiles.

#include <cstring>

#include "platform/text.h"
#include "platform/wmf/ffmpeg_codecs.h"
#include "platform/wmf/ffmpeg_runtime.h"

namespace tonvale::wmf {

std::u16string FormatDescription(const TFormatEntry& Format) {
  uint32_t khz = Format.Rate == 44100 ? 44 : Format.Rate == 22050 ? 22 : Format.Rate == 11025 ? 11 : Format.Rate / 1000;
  std::string text = std::to_string(Format.Kbps) + " kbps, " + std::to_string(khz) + " kHz, " +
                     (Format.Channels == 2 ? "stereo" : "mono") + " CBR";
  return Utf8ToUtf16(text);
}

HRESULT TMediaProps::GetMediaType(TWMMediaType* Type, uint32_t* Size) {
  if (!Size) return E_INVALIDARG;
  if (Type)
    *Type = FType;
  else
    *Size = FType.ByteSize();
  return S_OK;
}

HRESULT TMediaProps::SetMediaType(const TWMMediaType* Type) {
  if (!Type) return E_INVALIDARG;
  FType = *Type;
  return S_OK;
}

HRESULT TStreamConfig::GetMediaType(TWMMediaType* Type, uint32_t* Size) {
  if (!Size) return E_INVALIDARG;
  if (!Type) {
    *Size = FType.ByteSize();
    return S_OK;
  }
  *Type = FType;
  return S_OK;
}

HRESULT TStreamConfig::SetMediaType(const TWMMediaType* Type) {
  if (!Type) return E_INVALIDARG;
  FType = *Type;
  return S_OK;
}

HRESULT TStreamConfig::GetBitrate(uint32_t* Bitrate) {
  if (!Bitrate) return E_INVALIDARG;
  *Bitrate = FBitrate;
  return S_OK;
}

HRESULT TStreamConfig::SetStreamNumber(uint16_t Number) {
  if (Number == 0 || Number > 63) return E_INVALIDARG;
  FStreamNumber = Number;
  return S_OK;
}

HRESULT TStreamConfig::SetStreamName(const std::u16string& Name) {
  FStreamName = Name;
  return S_OK;
}

HRESULT TStreamConfig::SetConnectionName(const std::u16string& Name) {
  FConnectionName = Name;
  return S_OK;
}

std::shared_ptr<TStreamConfig> TStreamConfig::ForFormat(uint32_t Codec, uint32_t Format) {
  const TFormatEntry f = FormatAt(Format);
  auto config = std::make_shared<TStreamConfig>();
  TWaveFormatEx w{};
  w.wFormatTag = kCodecs[Codec].FormatTag;
  w.nChannels = f.Channels;
  w.nSamplesPerSec = f.Rate;
  w.nAvgBytesPerSec = f.Kbps * 1000 / 8;
  w.wBitsPerSample = 16;
  w.nBlockAlign = 1;
  config->FType = AudioWaveType(Codec == 0 ? TSubtype::WMAudioV8 : TSubtype::WMAudioV7, w);
  config->FBitrate = f.Kbps * 1000;
  config->Codec = Codec;
  return config;
}

HRESULT TProfile::AddStream(IWMStreamConfig* Config) {
  auto* config = dynamic_cast<TStreamConfig*>(Config);
  if (!config || config->StreamNumber() == 0) return E_INVALIDARG;
  if (!Streams.empty()) return E_INVALIDARG;  // one audio stream
  Streams.push_back(std::make_shared<TStreamConfig>(*config));
  return S_OK;
}

HRESULT TProfileManager::CreateEmptyProfile(uint32_t Version, std::shared_ptr<IWMProfile>* Profile) {
  if (!Profile || Version != WMT_VER_9_0) return E_INVALIDARG;
  *Profile = std::make_shared<TProfile>();
  return S_OK;
}

HRESULT TProfileManager::GetCodecInfoCount(TMajorType Type, uint32_t* Codecs) {
  if (!Codecs) return E_INVALIDARG;
  *Codecs = Type == TMajorType::Audio ? kCodecCount : 0;
  return S_OK;
}

namespace {

// Copies Text with its null into Buffer of Length characters, or reports the
// length needed when Buffer is null.
HRESULT CopyText(const std::u16string& Text, char16_t* Buffer, uint32_t* Length) {
  if (!Length) return E_INVALIDARG;
  const uint32_t needed = static_cast<uint32_t>(Text.size() + 1);
  if (!Buffer) {
    *Length = needed;
    return S_OK;
  }
  if (*Length < needed) return E_INVALIDARG;
  std::memcpy(Buffer, Text.c_str(), needed * sizeof(char16_t));
  *Length = needed;
  return S_OK;
}

}  // namespace

HRESULT TProfileManager::GetCodecName(TMajorType Type, uint32_t Codec, char16_t* Name, uint32_t* Length) {
  if (Type != TMajorType::Audio || Codec >= kCodecCount) return E_INVALIDARG;
  return CopyText(kCodecs[Codec].Name, Name, Length);
}

HRESULT TProfileManager::GetCodecFormatCount(TMajorType Type, uint32_t Codec, uint32_t* Formats) {
  if (!Formats || Type != TMajorType::Audio || Codec >= kCodecCount) return E_INVALIDARG;
  // The codecs have constant bit rates only: with VBR asked, no formats.
  *Formats = FVbr[Codec] ? 0 : kFormatCount;
  return S_OK;
}

HRESULT TProfileManager::GetCodecFormat(TMajorType Type, uint32_t Codec, uint32_t Format,
                                        std::shared_ptr<IWMStreamConfig>* Config) {
  if (!Config || Type != TMajorType::Audio || Codec >= kCodecCount || FVbr[Codec] || Format >= kFormatCount)
    return E_INVALIDARG;
  *Config = TStreamConfig::ForFormat(Codec, Format);
  return S_OK;
}

HRESULT TProfileManager::GetCodecFormatDesc(TMajorType Type, uint32_t Codec, uint32_t Format,
                                            std::shared_ptr<IWMStreamConfig>* Config, char16_t* Desc,
                                            uint32_t* Length) {
  if (Type != TMajorType::Audio || Codec >= kCodecCount || FVbr[Codec] || Format >= kFormatCount) return E_INVALIDARG;
  if (Config) *Config = TStreamConfig::ForFormat(Codec, Format);
  return CopyText(FormatDescription(FormatAt(Format)), Desc, Length);
}

HRESULT TProfileManager::SetCodecEnumerationSetting(TMajorType Type, uint32_t Codec, const std::u16string& Name,
                                                    TWMTAttrDataType AttrType, const uint8_t* Value, uint32_t Size) {
  if (Type != TMajorType::Audio || Codec >= kCodecCount || !Value) return E_INVALIDARG;
  if (Name == u"_VBRENABLED" && AttrType == WMT_TYPE_BOOL && Size == 4) {
    uint32_t on;
    std::memcpy(&on, Value, 4);
    // Neither codec has a variable-bit-rate mode.
    if (on) return NS_E_INVALID_REQUEST;
    FVbr[Codec] = false;
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT TProfileManager::GetCodecFormatProp(TMajorType, uint32_t, uint32_t, const std::u16string&, TWMTAttrDataType*,
                                            uint8_t*, uint32_t*) {
  return ASF_E_NOTFOUND;
}

}  // namespace tonvale::wmf
