#pragma once
// The WAV file input: PCM, IMA ADPCM and Microsoft ADPCM decoded here, MPEG
// Layer-3 data converted through the compression manager. Delivers PCM.

#include <memory>

#include "audio/core/au_file_in.h"
#include "audio/wave/wav_header.h"
#include "audio/wave/wave_converter.h"

namespace tonvale {

class TWaveIn : public TAuFileIn {
 public:
  static constexpr uint32_t kDecodeBufferSize = 16384;

  explicit TWaveIn(TAuComponent* Owner);
  ~TWaveIn() override;

  TWavType Kind() const { return FKind; }
  bool FloatSamples() override;
  uint32_t ChannelMask() override;
  bool ExactSize() override;
  std::string Refusal() override;
  std::vector<TAuWarningText> ReadNotes() override { return FNotes; }

 protected:
  void OpenSource() override;
  void CloseSource() override;
  bool SeekTo(int64_t& Sample) override;
  void ReadData(uint8_t*& Buffer, uint32_t& Bytes) override;

 private:
  // Takes the format of a scanned header; false when it cannot be decoded
  // safely (the file then reads as empty).
  bool TakeHeader(const TWavHeader& H);
  // The frames of the data by its size and block layout, checked against
  // the fact count where there is one; DataSize from them.
  void TakeBlockLength(int BlockFrames);
  // Checks Frames, the data's length, against the fact count: the shorter
  // becomes DataSize, and a disagreement a note.
  void TakeFactLength(int64_t Frames, int BlockFrames);
  // Begins the streamed conversion of MPEG Layer-3 data; false when the
  // data cannot be converted.
  bool OpenAcm();
  uint32_t RefillIma();
  uint32_t RefillMs();
  // Reads G.711 bytes and expands them to 16-bit PCM in DecodeBuffer.
  uint32_t RefillG711();
  // Makes the first Bytes of DecodeBuffer's big-endian samples little-endian.
  void SwapSamples(uint32_t Bytes);
  // Reads one block into BlockBuffer (zero-filled past a short read); false
  // when there is none.
  bool ReadBlock(uint16_t BlockAlign);

  alignas(16) uint8_t DecodeBuffer[kDecodeBufferSize];
  TWavType FKind = wtUnsupported;
  // The header of the data being read: block layout, fact count,
  // coefficients and where the data starts.
  TWavHeader Header;
  std::vector<uint8_t> BlockBuffer;
  std::vector<TAuWarningText> FNotes;  // what the header told beside the audio
  // For MPEG data: the conversion, reading the source as PCM is asked for.
  std::unique_ptr<TWaveConverter> Acm;
};

}  // namespace tonvale
