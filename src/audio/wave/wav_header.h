#pragma once
// The WAV file layout: the kinds of data and the tolerant header scan shared
// by the reader and by the writer's append scan.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/wave/adpcm.h"
#include "platform/stream.h"

namespace tonvale {

// wtALaw and wtMuLaw: G.711, 8 bits a sample, expanded to 16-bit PCM.
enum TWavType { wtUnsupported, wtPCM, wtDVIADPCM, wtMSADPCM, wtACM, wtALaw, wtMuLaw };

// Everything up to the data body must lie within this many bytes.
constexpr int64_t kWavHeaderLimit = 8192;

struct TWavHeader {
  TWavType Kind = wtUnsupported;
  uint16_t FormatTag = 0;  // as the fmt chunk states it
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint16_t BlockAlign = 0;
  uint16_t BitsPerSample = 0;
  uint16_t SamplesPerBlock = 0;
  uint16_t CoefCount = 0;
  std::array<TMsCoef, 32> Coefs{};
  uint32_t FactCount = 0;
  int64_t FactOffset = -1;  // stream offset of the fact body
  // PCM only: IEEE float samples (format tag 3, or an extensible format of
  // that sub-format), and the extensible format's speaker mask (0: none given).
  bool Float = false;
  bool BigEndian = false;  // a RIFX file: samples big-endian
  uint32_t ChannelMask = 0;
  // The data's size: the chunk's, the ds64 chunk's for RF64 and BW64, or all
  // that follows for the streaming sizes 0 and 0xFFFFFFFF (when the stream
  // can tell its size).
  uint64_t DataSize = 0;
  int64_t DataSizeOffset = -1;  // stream offset of the data size field
  int64_t DataOffset = -1;      // stream offset of the data body
  // Why a WAV file is not read, when its format says what it holds ("WAV
  // format 0x0022 (TrueSpeech) is not read"); empty otherwise.
  std::string Refusal;
};

// Scans the header from the stream's current position (its start): skips
// junk before "RIFF" (or "RF64"/"BW64" with their ds64 chunk), matches chunk
// ids in any letter case, skips unknown chunks with their pad byte, and stops
// at the data body. PCM is format tag 1 (8 to 32 bits), 3 (32- or 64-bit
// float) or an extensible format (0xFFFE) of either sub-format; integer PCM
// whose valid bits are fewer than its container's (12 bits in 2 bytes, 20
// in 3, 24 in 4, the block align telling the container) is read at the
// container's width. Kind stays wtUnsupported when the file is not
// recognised. With AppendScan only PCM and IMA ADPCM are accepted.
TWavHeader ScanWavHeader(TStream& Source, bool AppendScan = false);

// The largest file a RIFF header can state: its size field counts the file
// less its first 8 bytes, in 32 bits.
constexpr int64_t kRiffFileLimit = int64_t{0xFFFFFFFF} + 8;
// The headers of a new PCM file: RIFF, and RF64 with its ds64 chunk.
constexpr int64_t kRiffHeaderSize = 44, kRf64HeaderSize = 80;

// Bytes little-endian bytes of V at P.
void PutLe(uint8_t* P, uint64_t V, int Bytes);
// The same, written into File at Offset.
void WriteLeAt(TStream& File, int64_t Offset, uint64_t Value, int Bytes);

// The header of a new PCM file that is to hold DataBytes bytes: the 44-byte
// RIFF header, or, when that much will not fit one (with room for an
// estimate that falls short), the 80-byte RF64 header whose ds64 chunk
// states the sizes in 64 bits.
std::vector<uint8_t> PcmWavHeader(uint16_t Channels, uint32_t SampleRate, uint16_t BitsPerSample, int64_t DataBytes);
// Makes the header File starts with, as PcmWavHeader made it, state a file
// of FileSize bytes.
void StatePcmSizes(TStream& File, int64_t FileSize);

// What a file that is no WAV file is, told by its first bytes: "it is an
// MP3 file, not a WAV file"; empty when it is nothing known.
std::string OtherFileType(const uint8_t* Head, size_t Bytes);

// Four bytes equal, or differ by 32 (letter case).
bool MatchId(const uint8_t* Id, const char* Expected);

}  // namespace tonvale
