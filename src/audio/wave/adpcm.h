#pragma once
// The ADPCM block codecs: IMA ADPCM (decode and encode) and Microsoft ADPCM
// (decode), one block at a time, one or two channels, 16-bit PCM.

#include <cstdint>

namespace tonvale {

struct TMsCoef {
  int16_t First;
  int16_t Second;
};

// Samples per channel of an IMA block.
constexpr int ImaBlockSamples(int Channels, int BlockAlign) {
  return Channels == 1 ? 2 * (BlockAlign - 4) + 1 : (BlockAlign - 8) + 1;
}

// Decodes one IMA block into Out (interleaved for stereo); returns the
// samples per channel. BlockAlign must exceed 4 per channel, and for stereo
// its data must be whole groups of 8 bytes.
int DecodeImaBlock(const uint8_t* Block, int Channels, int BlockAlign, int16_t* Out);

// Decodes one Microsoft ADPCM block; returns the samples per channel
// (mono: 2 + 2 * ((SamplesPerBlock - 2) / 2); stereo: SamplesPerBlock).
// A channel whose predictor index has no coefficient pair decodes to silence.
int DecodeMsBlock(const uint8_t* Block, int Channels, int SamplesPerBlock, const TMsCoef* Coefs, int CoefCount,
                  int16_t* Out);

// Encodes one block of ImaBlockSamples frames into Block (BlockSize
// bytes); StepIndex holds each channel's index and is updated.
void EncodeImaBlock(const int16_t* Frames, int Channels, int BlockSize, uint8_t* StepIndex, uint8_t* Block);

}  // namespace tonvale
