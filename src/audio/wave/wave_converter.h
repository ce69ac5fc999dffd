#pragma once
// Converts the compressed data of a WAV file the reader does not decode
// itself (MPEG Layer-3) to PCM through the compression manager. The
// converter is a memory stream holding the audio data: compressed after
// LoadFromWav, PCM after Convert.

#include <cstdint>
#include <vector>

#include "platform/acm/acm.h"
#include "platform/stream.h"

namespace tonvale {

class TWaveConverter : public TMemoryStream {
 public:
  static constexpr uint32_t kFormatBufferSize = 129;

  TWaveConverter();
  ~TWaveConverter() override;

  // Loads the format and the data of a WAV file. Always 0.
  int LoadFromWav(TStream& Source);
  // Converts the contents from SourceFormat to DestFormat; 0, or the
  // compression manager's error.
  int Convert();
  // Writes the contents as a WAV image at Dest's position; 0, or 286.
  int SaveWav(TStream& Dest);

  // Streaming conversion, for data of any length with flat memory. With
  // SourceFormat and DestFormat set as for Convert, BeginStream takes the
  // Bytes bytes of compressed data at Source's position, measures the PCM
  // they convert to (PcmBytes) and rewinds to them; ReadPcm then converts
  // piece by piece as it is read. 0, or the compression manager's error.
  int BeginStream(TStream& Source, uint64_t Bytes, uint64_t& PcmBytes);
  // Up to Count bytes of PCM (whole frames), 0 at the end.
  uint32_t ReadPcm(uint8_t* Dest, uint32_t Count);
  void EndStream();

  TWaveFormatEx* SourceFormat() { return reinterpret_cast<TWaveFormatEx*>(FSourceFormat); }
  TWaveFormatEx* DestFormat() { return reinterpret_cast<TWaveFormatEx*>(FDestFormat); }

  uint32_t MaxFormatSize = 0;

 private:
  alignas(4) uint8_t FSourceFormat[kFormatBufferSize] = {};
  alignas(4) uint8_t FDestFormat[kFormatBufferSize] = {};
  // The streaming conversion.
  HACMSTREAM FStream = nullptr;
  TAcmStreamHeader FHeader{};
  TStream* FSource = nullptr;
  uint64_t FSourceLeft = 0;
  bool FSourceEnded = false;
  std::vector<uint8_t> FPiece;
};

}  // namespace tonvale
