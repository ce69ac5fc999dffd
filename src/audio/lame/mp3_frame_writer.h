#pragma once
// Writes the frames of a joined MP3 stream in order. Where the encoder's bit
// reservoir overflows, LAME fills the gap between two frames' main data with
// "LAME", its version and then bits alternating from one gap to the next;
// each segment's encoder starts that alternation afresh, so the writer
// parses every gap and lets the alternation run on as a single encoder's
// does. A gap it cannot parse fails the join.
//
// Frames whose encoders' bit reservoirs differ (VBR) are re-packed instead:
// each frame's main data goes where its encoder put it when that is past the
// previous frame's data, else right after it; a frame whose data then runs
// past its own area gets a higher bit rate until it fits. Unused bytes are
// zero.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "audio/lame/mp3_frames.h"
#include "platform/stream.h"

namespace tonvale {

class TMp3FrameWriter {
 public:
  // Version: the encoder's short version, written into its fill.
  // Repack: frames are added by Place, not Add.
  explicit TMp3FrameWriter(std::string Version, bool Repack = false) : FVersion(std::move(Version)), FRepack(Repack) {}

  // Adds a frame: Head (header, CRC and side info) and its main data area.
  // Exact: the frame comes from the encoder that started the stream, whose
  // fill must come out unchanged. False when the gap before its data does
  // not parse.
  bool Add(TStream& Out, const std::vector<uint8_t>& Head, const TMp3Frame& Frame, const uint8_t* Area, bool Exact);
  // Adds a frame re-packed: Head (header and side info, no CRC) of Frame,
  // whose main data is Data. False when it cannot be made to fit.
  bool Place(TStream& Out, std::vector<uint8_t> Head, TMp3Frame Frame, const uint8_t* Data);
  // Writes every frame held back; Final parses the gap after the last
  // frame's data (a stop leaves it as it is).
  bool Finish(TStream& Out, bool Final);

  int Frames() const { return FSeek.Frames(); }
  uint32_t AudioBytes() const { return FAudioBytes; }
  uint16_t MusicCrc() const { return FMusicCrc; }
  const TMp3SeekTable& Seek() const { return FSeek; }
  // The fourth header byte of the last frame written (its mode extension
  // is the one the encoder's tag frame carries).
  uint8_t LastHeader3() const { return FLastHeader3; }
  // Frames Place gave a higher bit rate.
  int Raised() const { return FRaised; }

 private:
  struct TQueued {
    std::vector<uint8_t> Head;
    int Area = 0;
    int BitRateKbps = 0;
  };
  // Rewrites the gap between bits From and To of the window; -1 when it does
  // not parse, else the bits changed.
  int FixGap(int64_t From, int64_t To, bool Last);
  bool Drain(int64_t From, int64_t Bits, std::vector<int64_t>& Alternating) const;
  int Bit(int64_t At) const;
  int Byte(int64_t At) const;
  void WriteFront(TStream& Out);

  std::string FVersion;
  bool FRepack;
  int FRaised = 0;
  std::deque<TQueued> FQueue;
  std::vector<uint8_t> FWindow;  // the main data areas of the queued frames
  int64_t FWindowStart = 0;      // stream byte of FWindow[0]
  int64_t FDataEnd = 0;          // stream bit where the last frame's data ends
  int FFlag = 0;                 // the next alternating bit
  TMp3SeekTable FSeek;
  uint32_t FAudioBytes = 0;
  uint16_t FMusicCrc = 0;
  uint8_t FLastHeader3 = 0;
};

}  // namespace tonvale
