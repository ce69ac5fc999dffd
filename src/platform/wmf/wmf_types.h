#pragma once
// The media-runtime subset the Windows Media components drive: result
// codes, media types, the stream the reader reads through, and sample
// buffers. Methods answer 0 for success and a nonzero code for failure.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wave_format.h"

namespace tonvale {

using HRESULT = uint32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = 0x80004005;
constexpr HRESULT E_INVALIDARG = 0x80070057;
constexpr HRESULT E_OUTOFMEMORY = 0x8007000E;
constexpr HRESULT E_UNEXPECTED = 0x8000FFFF;
constexpr HRESULT E_NOTIMPL = 0x80004001;
constexpr HRESULT ASF_E_NOTFOUND = 0xC00D07F0;
constexpr HRESULT NS_E_PROTECTED_CONTENT = 0xC00D0BBD;
constexpr HRESULT NS_E_NO_MORE_SAMPLES = 0xC00D0BCF;
constexpr HRESULT NS_E_INVALID_REQUEST = 0xC00D002B;
constexpr HRESULT NS_E_FILE_OPEN_FAILED = 0xC00D001F;
constexpr HRESULT STG_E_INVALIDFUNCTION = 0xFFFFFFFF;
constexpr HRESULT STG_E_READFAULT = 0x8003001E;

constexpr uint32_t WMT_VER_9_0 = 0x00090000;

enum class TMajorType { Audio, Video, Other };
enum class TFormatType { WaveFormatEx, Other };
enum class TSubtype { PCM, WMAudioV7, WMAudioV8, WMAudio_Lossless, MP3, Other };

// A media type: kinds, and the format block (a TWaveFormatEx for audio).
struct TWMMediaType {
  TMajorType majortype = TMajorType::Other;
  TSubtype subtype = TSubtype::Other;
  bool bFixedSizeSamples = false;
  bool bTemporalCompression = false;
  uint32_t lSampleSize = 0;
  TFormatType formattype = TFormatType::Other;
  std::vector<uint8_t> Format;

  bool IsWaveFormat() const {
    return majortype == TMajorType::Audio && formattype == TFormatType::WaveFormatEx &&
           Format.size() >= sizeof(TWaveFormatEx);
  }
  TWaveFormatEx* Wave() { return reinterpret_cast<TWaveFormatEx*>(Format.data()); }
  const TWaveFormatEx* Wave() const { return reinterpret_cast<const TWaveFormatEx*>(Format.data()); }
  // The byte count a caller needs for the whole type.
  uint32_t ByteSize() const { return static_cast<uint32_t>(sizeof(TWMMediaType) + Format.size()); }
};

TWMMediaType AudioWaveType(TSubtype Subtype, const TWaveFormatEx& Format);

enum TWMTAttrDataType {
  WMT_TYPE_DWORD = 0,
  WMT_TYPE_STRING = 1,
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6
};

enum TStreamSeek { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };

struct TStatStg {
  uint64_t cbSize = 0;
  uint32_t grfLocksSupported = 0;
};

// A byte stream the runtime reads a source through.
class IStream {
 public:
  virtual ~IStream() = default;
  virtual HRESULT Read(void* Buffer, uint32_t Count, uint32_t* Read) = 0;
  virtual HRESULT Write(const void* Buffer, uint32_t Count, uint32_t* Written) = 0;
  virtual HRESULT Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) = 0;
  virtual HRESULT SetSize(uint64_t NewSize) = 0;
  virtual HRESULT CopyTo(IStream* Dest, uint64_t Count, uint64_t* Read, uint64_t* Written) = 0;
  virtual HRESULT Commit(uint32_t Flags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(uint64_t Offset, uint64_t Count, uint32_t Type) = 0;
  virtual HRESULT UnlockRegion(uint64_t Offset, uint64_t Count, uint32_t Type) = 0;
  virtual HRESULT Stat(TStatStg* Stat, uint32_t Flags) = 0;
  virtual HRESULT Clone(std::shared_ptr<IStream>* Stream) = 0;
};

// A sample's bytes.
class INSSBuffer {
 public:
  virtual ~INSSBuffer() = default;
  virtual HRESULT GetLength(uint32_t* Length) = 0;
  virtual HRESULT SetLength(uint32_t Length) = 0;
  virtual HRESULT GetMaxLength(uint32_t* Length) = 0;
  virtual HRESULT GetBuffer(uint8_t** Buffer) = 0;
  virtual HRESULT GetBufferAndLength(uint8_t** Buffer, uint32_t* Length) = 0;
};

// A sample buffer in memory.
class TMemorySample : public INSSBuffer {
 public:
  explicit TMemorySample(uint32_t MaxLength) : FData(MaxLength), FLength(MaxLength) {}
  HRESULT GetLength(uint32_t* Length) override;
  HRESULT SetLength(uint32_t Length) override;
  HRESULT GetMaxLength(uint32_t* Length) override;
  HRESULT GetBuffer(uint8_t** Buffer) override;
  HRESULT GetBufferAndLength(uint8_t** Buffer, uint32_t* Length) override;
  std::vector<uint8_t>& Data() { return FData; }

 private:
  std::vector<uint8_t> FData;
  uint32_t FLength;
};

}  // namespace tonvale
