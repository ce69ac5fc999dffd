#include "audio/lame/mp3_frame_writer.h"

#include <algorithm>

namespace tonvale {

int TMp3FrameWriter::Bit(int64_t At) const {
  const auto index = static_cast<size_t>(At / 8 - FWindowStart);
  return (FWindow[index] >> (7 - At % 8)) & 1;
}

int TMp3FrameWriter::Byte(int64_t At) const {
  int value = 0;
  for (int i = 0; i < 8; ++i) value = (value << 1) | Bit(At + i);
  return value;
}

bool TMp3FrameWriter::Drain(int64_t From, int64_t Bits, std::vector<int64_t>& Alternating) const {
  int64_t at = From, rest = Bits;
  auto text = [&](const std::string& Text) {
    for (const char c : Text) {
      if (rest < 8) break;
      if (Byte(at) != static_cast<uint8_t>(c)) return false;
      at += 8;
      rest -= 8;
    }
    return true;
  };
  if (!text("LAME")) return false;
  if (rest >= 32 && !text(FVersion)) return false;
  for (int64_t i = 0; i < rest; ++i) {
    if (i > 0 && Bit(at + i) == Bit(at + i - 1)) return false;
    Alternating.push_back(at + i);
  }
  return true;
}

int TMp3FrameWriter::FixGap(int64_t From, int64_t To, bool Last) {
  if (To <= From) return 0;
  // The gap holds the fill after one frame's data and the fill before the
  // next frame's, which starts on a byte; after the last frame, the fill
  // that completes the stream may start anywhere.
  std::vector<int64_t> splits{To};
  for (int64_t q = To - 8; q >= From; q -= Last ? 1 : 8)
    if (Byte(q) == 'L') splits.push_back(q);
  std::vector<int64_t> chosen, alternating;
  bool found = false;
  for (const int64_t split : splits) {
    alternating.clear();
    if (!Drain(From, split - From, alternating) || !Drain(split, To - split, alternating)) continue;
    if (found && alternating != chosen) return -1;  // two readings
    chosen = alternating;
    found = true;
  }
  if (!found) return -1;
  int changed = 0;
  for (const int64_t at : chosen) {
    if (Bit(at) != FFlag) {
      FWindow[static_cast<size_t>(at / 8 - FWindowStart)] ^= static_cast<uint8_t>(1 << (7 - at % 8));
      ++changed;
    }
    FFlag ^= 1;
  }
  return changed;
}

void TMp3FrameWriter::WriteFront(TStream& Out) {
  const TQueued& f = FQueue.front();
  const auto area = static_cast<size_t>(f.Area);
  Out.Write(f.Head.data(), static_cast<int64_t>(f.Head.size()));
  Out.Write(FWindow.data(), static_cast<int64_t>(area));
  FMusicCrc = Crc16(f.Head.data(), f.Head.size(), FMusicCrc);
  FMusicCrc = Crc16(FWindow.data(), area, FMusicCrc);
  FAudioBytes += static_cast<uint32_t>(f.Head.size() + area);
  FSeek.Add(f.BitRateKbps);
  FLastHeader3 = f.Head[3];
  FWindow.erase(FWindow.begin(), FWindow.begin() + static_cast<int64_t>(area));
  FWindowStart += f.Area;
  FQueue.pop_front();
}

bool TMp3FrameWriter::Add(TStream& Out, const std::vector<uint8_t>& Head, const TMp3Frame& Frame, const uint8_t* Area,
                          bool Exact) {
  const int64_t slot = FWindowStart + static_cast<int64_t>(FWindow.size());
  const int64_t start = (slot - Frame.MainDataBegin) * 8;
  if (start < FDataEnd || start < FWindowStart * 8) return false;
  const int changed = FixGap(FDataEnd, start, false);
  if (changed < 0 || (Exact && changed > 0)) return false;
  FWindow.insert(FWindow.end(), Area, Area + Frame.MainArea());
  FQueue.push_back({Head, Frame.MainArea(), Frame.BitRateKbps});
  FDataEnd = start + Frame.MainDataBits;
  if (FDataEnd > (slot + Frame.MainArea()) * 8) return false;
  // Frames whose area lies before the open gap are final.
  while (!FQueue.empty() && (FWindowStart + FQueue.front().Area) * 8 <= FDataEnd) WriteFront(Out);
  return true;
}

bool TMp3FrameWriter::Place(TStream& Out, std::vector<uint8_t> Head, TMp3Frame Frame, const uint8_t* Data) {
  if (!FRepack || (Head[1] & 1) == 0) return false;
  const int64_t slot = FWindowStart + static_cast<int64_t>(FWindow.size());
  const int64_t start = std::max(slot - Frame.MainDataBegin, (FDataEnd + 7) / 8);
  bool raised = false;
  while (start + Frame.MainDataBytes > slot + Frame.MainArea()) {
    if (!RaiseMp3BitRate(Head, Frame)) return false;
    raised = true;
  }
  FRaised += raised ? 1 : 0;
  SetMp3MainDataBegin(Head, Frame, static_cast<int>(slot - start));
  FWindow.resize(FWindow.size() + static_cast<size_t>(Frame.MainArea()), 0);
  std::copy(Data, Data + Frame.MainDataBytes, FWindow.begin() + (start - FWindowStart));
  FQueue.push_back({std::move(Head), Frame.MainArea(), Frame.BitRateKbps});
  FDataEnd = (start + Frame.MainDataBytes) * 8;
  while (!FQueue.empty() && (FWindowStart + FQueue.front().Area) * 8 <= FDataEnd) WriteFront(Out);
  return true;
}

bool TMp3FrameWriter::Finish(TStream& Out, bool Final) {
  if (Final && !FRepack && FixGap(FDataEnd, (FWindowStart + static_cast<int64_t>(FWindow.size())) * 8, true) < 0)
    return false;
  while (!FQueue.empty()) WriteFront(Out);
  return true;
}

}  // namespace tonvale
