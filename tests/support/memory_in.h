#pragma once
// A file input over raw PCM: reads an attached stream or a file holding bare
// samples, with the format and announced size set by the test.

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "audio/core/au_file_in.h"

namespace tonvale::test {

class MemoryIn : public TAuFileIn {
 public:
  explicit MemoryIn(TAuComponent* Owner = nullptr) : TAuFileIn(Owner) {}
  ~MemoryIn() override { BeforeDestruction(); }

  uint32_t Bits = 16, Rate = 44100, Chans = 2;
  // The size OpenSource announces: the source's length when -2.
  int64_t AnnouncedSize = -2;
  uint32_t ChunkLimit = 4096;  // most bytes one refill takes
  // A read that would pass this many bytes fails ("Read error"); -1: never.
  int64_t FailAfter = -1;
  // Called on the reading thread before each refill, with the refills
  // made so far: a test can hold the reader at a chosen point.
  std::function<void(int Refills)> BeforeRefill;
  std::atomic<int> ReadDataCalls{0};
  std::atomic<int> Opens{0};

 protected:
  void OpenSource() override;
  void CloseSource() override;
  bool SeekTo(int64_t& Sample) override;
  void ReadData(uint8_t*& Buffer, uint32_t& Bytes) override;

 private:
  std::vector<uint8_t> FBuffer;
  int FRefills = 0;
};

// Interleaved 16-bit frames whose samples count up: frame i, channel c holds
// i * Channels + c (modulo 2^16).
std::vector<uint8_t> CountingPcm(size_t Frames, unsigned Channels);

}  // namespace tonvale::test
