#pragma once
// MPEG-1 Layer III frames as LAME writes them: the header, where each
// frame's main data lies in the bit reservoir, and the Info/LAME tag that
// tells players the length, the seek table and the gapless figures.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tonvale {

struct TMp3Frame {
  size_t Offset = 0;    // in the buffer it was found in
  int Size = 0;         // header to the next frame
  int SideInfoEnd = 0;  // bytes of header, CRC and side info
  int BitRateKbps = 0;
  int SampleRate = 0;
  int MainDataBegin = 0;  // bytes before the frame's own area its data starts
  int MainDataBits = 0;   // the granules' part2_3 lengths
  int MainDataBytes = 0;  // those bits in whole bytes
  int MainArea() const { return Size - SideInfoEnd; }
};

// Reads the frame at Data; false unless it is a whole MPEG-1 Layer III
// frame within Bytes.
bool ReadMp3Frame(const uint8_t* Data, size_t Bytes, TMp3Frame& Frame);
// Raises the bit rate of the frame whose header and side info Head holds by
// one step, Frame following; false at the highest.
bool RaiseMp3BitRate(std::vector<uint8_t>& Head, TMp3Frame& Frame);
// Writes the frame's main_data_begin into Head.
void SetMp3MainDataBegin(std::vector<uint8_t>& Head, TMp3Frame& Frame, int Bytes);
// Splits Bytes into consecutive frames; false when anything else is there.
bool SplitMp3Frames(const std::vector<uint8_t>& Bytes, size_t From, std::vector<TMp3Frame>& Frames);

// CRC-16 with the reflected polynomial 0xA001, as the LAME tag uses it.
uint16_t Crc16(const uint8_t* Data, size_t Bytes, uint16_t Crc = 0);

// The encoder's seek table over frame bit rates, grown as it does, and the
// 100-entry table of contents it yields.
class TMp3SeekTable {
 public:
  void Add(int BitRateKbps);
  void Write(uint8_t* Toc) const;
  int Frames() const { return FFrames; }

 private:
  std::vector<int> FBag = std::vector<int>(400);
  int FPos = 0, FWant = 1, FSeen = 0, FSum = 0, FFrames = 0;
};

// The figures of a joined stream that its Info/LAME tag states.
struct TMp3TagFigures {
  int Frames = 0;
  uint32_t AudioBytes = 0;  // after the tag frame
  int64_t Samples = 0;      // the input's
  uint16_t MusicCrc = 0;
  const TMp3SeekTable* Seek = nullptr;
};

// Rewrites the Info/LAME tag frame Tag for Figures; false when Tag is not
// one this code knows (no "Info"/"Xing" with a LAME extension where the
// frame puts it, or padding outside its 12 bits).
bool RewriteMp3Tag(std::vector<uint8_t>& Tag, const TMp3TagFigures& Figures);
// The encoder delay Tag states, or -1 when it is not such a tag.
int Mp3TagDelay(const std::vector<uint8_t>& Tag);
// Whether Tag already states Figures exactly (how the rewriting is proven
// on the encoder's own tag before it is trusted with a joined stream).
bool Mp3TagStates(const std::vector<uint8_t>& Tag, const TMp3TagFigures& Figures);

}  // namespace tonvale
