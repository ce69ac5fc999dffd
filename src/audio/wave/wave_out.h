#pragma once
// The WAV file output: writes its input's PCM unchanged or IMA ADPCM
// encoded, into a new file or appended to an existing WAV file of the same
// format.

#include <cstdint>
#include <vector>

#include "audio/core/au_file_out.h"
#include "audio/wave/wav_header.h"

namespace tonvale {

class TWaveOut final : public TAuFileOut {
 public:
  explicit TWaveOut(TAuComponent* Owner);
  ~TWaveOut() override;

  TWavType WavType() const { return FWavType; }
  // Only wtPCM and wtDVIADPCM, and not while running.
  void SetWavType(TWavType Value);
  uint16_t BlockSize() const { return FBlockSize; }
  // Not while running; 0 and values that are not a multiple of 4 are ignored.
  void SetBlockSize(uint16_t Value);
  void SetFileMode(TFileOutputMode Value) override { FFileMode = Value; }

 protected:
  void Prepare() override;
  bool OutputChunk(bool Abort) override;
  void Finish() override;
  void AbandonRun() override;

 private:
  // Ends the input's read, closes the file and raises Message.
  [[noreturn]] void Refuse(const char* Message);
  void WritePcmHeader();
  void WriteImaHeader();
  // Raises before a write of Bytes would take the file past what its header
  // can state.
  void CheckRoom(int64_t Bytes);
  int SamplesPerBlock(int Channels) const;
  void WriteLe32At(int64_t Offset, uint32_t Value);
  void FlushPending();
  // Writes what is pending and makes the header state the data written.
  void CompleteHeader(bool Whole);

  bool InputEnded = false;
  TWavType FWavType = wtPCM;
  uint8_t StepIndex[2] = {0, 0};
  TWavHeader Existing;  // what the append scan found
  bool Appending = false;
  int64_t HeaderSize = kRiffHeaderSize;  // of a new PCM file, RIFF or RF64
  uint16_t FBlockSize = 512;
  int InputChannels = 0;
  int64_t FramesEncoded = 0;
  // PCM waiting to be written: the file is written in large pieces.
  std::vector<uint8_t> Pending;
  std::vector<int16_t> PcmBlock;
  std::vector<uint8_t> AdpcmBlock;
};

}  // namespace tonvale
