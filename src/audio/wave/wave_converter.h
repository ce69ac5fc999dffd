#pragma once
// Converts the compressed data of a WAV file the reader does not decode
// itself (MPEG Layer-3) to PCM through the compression manager. The
// converter is a memory stream holding the audio data: compressed after
// LoadFromWav, PCM after Convert.

#include <cstdint>

#include "platform/acm/acm.h"
#include "platform/stream.h"

namespace tonvale {

class TWaveConverter : public TMemoryStream {
 public:
  static constexpr uint32_t kFormatBufferSize = 129;

  TWaveConverter();

  // Loads the format and the data of a WAV file. Always 0.
  int LoadFromWav(TStream& Source);
  // Converts the contents from SourceFormat to DestFormat; 0, or the
  // compression manager's error.
  int Convert();
  // Writes the contents as a WAV image at Dest's position; 0, or 286.
  int SaveWav(TStream& Dest);

  TWaveFormatEx* SourceFormat() { return reinterpret_cast<TWaveFormatEx*>(FSourceFormat); }
  TWaveFormatEx* DestFormat() { return reinterpret_cast<TWaveFormatEx*>(FDestFormat); }

  uint32_t MaxFormatSize = 0;

 private:
  alignas(4) uint8_t FSourceFormat[kFormatBufferSize] = {};
  alignas(4) uint8_t FDestFormat[kFormatBufferSize] = {};
};

}  // namespace tonvale
