#include "audio/wave/adpcm.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace tonvale {
namespace {

constexpr int16_t kStepTable[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int8_t kIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

constexpr int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

struct ImaChannel {
  int Predictor;
  int Index;

  inline void Step(int Nibble) {
    const int step = kStepTable[Index];
    int diff = step >> 3;
    if (Nibble & 4) diff += step;
    if (Nibble & 2) diff += step >> 1;
    if (Nibble & 1) diff += step >> 2;
    if (Nibble & 8) diff = -diff;
    Predictor = std::clamp(Predictor + diff, -32767, 32767);
    Index = std::clamp(Index + kIndexTable[Nibble], 0, 88);
  }
};

inline int16_t Le16(const uint8_t* P) { return static_cast<int16_t>(P[0] | (P[1] << 8)); }

inline void PutLe16(uint8_t* P, int16_t V) {
  P[0] = static_cast<uint8_t>(V & 0xFF);
  P[1] = static_cast<uint8_t>((static_cast<uint16_t>(V) >> 8) & 0xFF);
}

// Byte of nibble C of a channel in a stereo block's data (plus 4 for right).
inline int StereoByte(int C) { return ((C >> 1) >> 2) * 8 + ((C >> 1) & 3); }

}  // namespace

int DecodeImaBlock(const uint8_t* Block, int Channels, int BlockAlign, int16_t* Out) {
  const int samples = ImaBlockSamples(Channels, BlockAlign);
  if (Channels == 1) {
    ImaChannel ch{Le16(Block), std::min<int>(Block[2], 88)};
    Out[0] = static_cast<int16_t>(ch.Predictor);
    const uint8_t* data = Block + 4;
    int16_t* out = Out + 1;
    for (int i = 0; i < BlockAlign - 4; ++i) {
      ch.Step(data[i] & 0x0F);
      *out++ = static_cast<int16_t>(ch.Predictor);
      ch.Step(data[i] >> 4);
      *out++ = static_cast<int16_t>(ch.Predictor);
    }
    return samples;
  }
  for (int c = 0; c < 2; ++c) {
    const uint8_t* header = Block + 4 * c;
    ImaChannel ch{Le16(header), std::min<int>(header[2], 88)};
    Out[c] = static_cast<int16_t>(ch.Predictor);
    const uint8_t* data = Block + 8 + 4 * c;
    int16_t* out = Out + 2 + c;
    // Groups of 4 bytes (8 nibbles) per channel, alternating left and right.
    for (int group = 0; group < (BlockAlign - 8) / 8; ++group) {
      const uint8_t* g = data + group * 8;
      for (int b = 0; b < 4; ++b) {
        ch.Step(g[b] & 0x0F);
        *out = static_cast<int16_t>(ch.Predictor);
        out += 2;
        ch.Step(g[b] >> 4);
        *out = static_cast<int16_t>(ch.Predictor);
        out += 2;
      }
    }
  }
  return samples;
}

int DecodeMsBlock(const uint8_t* Block, int Channels, int SamplesPerBlock, const TMsCoef* Coefs, int CoefCount,
                  int16_t* Out) {
  struct State {
    int Coef1, Coef2, Delta, Sample1, Sample2;
    bool Valid;
    inline int16_t Next(int Nibble) {
      int p = (Sample1 * Coef1 + Sample2 * Coef2) / 256;
      p += Delta * (Nibble >= 8 ? Nibble - 16 : Nibble);
      p = std::clamp(p, -32768, 32767);
      Delta = (Delta * kAdaptation[Nibble]) / 256;
      if (Delta < 16) Delta = 16;
      // Long blocks can grow the step without bound: keep the next product
      // in range, as the reference decoder does.
      if (Delta > INT_MAX / 768) Delta = INT_MAX / 768;
      Sample2 = Sample1;
      Sample1 = p;
      return Valid ? static_cast<int16_t>(p) : 0;
    }
  };
  State st[2];
  for (int c = 0; c < Channels; ++c) {
    int predictor = Block[c];
    const uint8_t* h = Block + Channels;  // deltas, then samples 1, then samples 2
    st[c].Valid = predictor < CoefCount;
    st[c].Coef1 = st[c].Valid ? Coefs[predictor].First : 0;
    st[c].Coef2 = st[c].Valid ? Coefs[predictor].Second : 0;
    st[c].Delta = Le16(h + 2 * c);
    st[c].Sample1 = Le16(h + 2 * Channels + 2 * c);
    st[c].Sample2 = Le16(h + 4 * Channels + 2 * c);
  }
  int16_t* out = Out;
  for (int c = 0; c < Channels; ++c) *out++ = st[c].Valid ? static_cast<int16_t>(st[c].Sample2) : 0;
  for (int c = 0; c < Channels; ++c) *out++ = st[c].Valid ? static_cast<int16_t>(st[c].Sample1) : 0;
  const uint8_t* data = Block + 7 * Channels;
  if (Channels == 1) {
    const int bytes = (SamplesPerBlock - 2) / 2;
    for (int i = 0; i < bytes; ++i) {
      *out++ = st[0].Next(data[i] >> 4);
      *out++ = st[0].Next(data[i] & 0x0F);
    }
    return 2 + 2 * bytes;
  }
  for (int i = 0; i < SamplesPerBlock - 2; ++i) {
    *out++ = st[0].Next(data[i] >> 4);
    *out++ = st[1].Next(data[i] & 0x0F);
  }
  return SamplesPerBlock;
}

void EncodeImaBlock(const int16_t* Frames, int Channels, int BlockSize, uint8_t* StepIndex, uint8_t* Block) {
  std::memset(Block, 0, static_cast<size_t>(std::max(BlockSize, 0)));
  if (Channels < 1 || Channels > 2 || BlockSize < 4 * Channels) return;
  const int perChannel = ImaBlockSamples(Channels, BlockSize) - 1;
  for (int c = 0; c < Channels; ++c) {
    uint8_t* header = Block + 4 * c;
    PutLe16(header, Frames[c]);
    header[2] = StepIndex[c];
    ImaChannel ch{Frames[c], std::min<int>(StepIndex[c], 88)};
    for (int n = 0; n < perChannel; ++n) {
      const int sample = Frames[(n + 1) * Channels + c];
      const int step = kStepTable[ch.Index];
      int d = sample - ch.Predictor;
      int code = 0;
      if (d < 0) {
        code = 8;
        d = -d;
      }
      if (d >= step) {
        code += 4;
        d -= step;
      }
      if (d >= step / 2) {
        code += 2;
        d -= step / 2;
      }
      if (d >= step / 4) code += 1;
      // Only nibbles whose byte lies inside the block are stored: a stereo
      // block that does not end on a whole group has room for fewer.
      const int at = Channels == 1 ? 4 + n / 2 : 8 + 4 * c + StereoByte(n);
      if (at < BlockSize) Block[at] |= static_cast<uint8_t>((n & 1) ? code << 4 : code);
      ch.Step(code);
    }
    StepIndex[c] = static_cast<uint8_t>(ch.Index);
  }
}

}  // namespace tonvale
