#include "audio/lame/mp3_frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tonvale {
namespace {

constexpr int kMpeg1Rates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kMpeg1SampleRates[] = {44100, 48000, 32000};
constexpr int kSamplesPerFrame = 1152;

int Bits(const uint8_t* Data, int Offset, int Count) {
  int value = 0;
  for (int i = 0; i < Count; ++i) {
    const int bit = Offset + i;
    value = (value << 1) | ((Data[bit / 8] >> (7 - bit % 8)) & 1);
  }
  return value;
}

uint32_t Get(const uint8_t* P, int Bytes) {
  uint32_t v = 0;
  for (int i = 0; i < Bytes; ++i) v = (v << 8) | P[i];
  return v;
}

void Put(uint8_t* P, int Bytes, uint32_t V) {
  for (int i = Bytes - 1; i >= 0; --i, V >>= 8) P[i] = static_cast<uint8_t>(V & 0xFF);
}

}  // namespace

bool ReadMp3Frame(const uint8_t* Data, size_t Bytes, TMp3Frame& Frame) {
  if (Bytes < 4 || Data[0] != 0xFF || (Data[1] & 0xFE) != 0xFA) return false;  // MPEG-1 Layer III
  const int rateIndex = Data[2] >> 4, srIndex = (Data[2] >> 2) & 3;
  if (rateIndex == 0 || rateIndex == 15 || srIndex == 3) return false;
  Frame.BitRateKbps = kMpeg1Rates[rateIndex];
  Frame.SampleRate = kMpeg1SampleRates[srIndex];
  Frame.Size = 144000 * Frame.BitRateKbps / Frame.SampleRate + ((Data[2] >> 1) & 1);
  const bool mono = (Data[3] >> 6) == 3;
  const int sideStart = (Data[1] & 1) ? 4 : 6;
  Frame.SideInfoEnd = sideStart + (mono ? 17 : 32);
  if (static_cast<size_t>(Frame.Size) > Bytes || Frame.Size < Frame.SideInfoEnd) return false;
  const uint8_t* side = Data + sideStart;
  Frame.MainDataBegin = Bits(side, 0, 9);
  int bits = 0;
  const int channels = mono ? 1 : 2;
  for (int g = 0; g < 2 * channels; ++g) bits += Bits(side, (mono ? 18 : 20) + 59 * g, 12);
  Frame.MainDataBits = bits;
  Frame.MainDataBytes = (bits + 7) / 8;
  return true;
}

bool RaiseMp3BitRate(std::vector<uint8_t>& Head, TMp3Frame& Frame) {
  const int index = Head[2] >> 4;
  if (index >= 14) return false;
  Head[2] = static_cast<uint8_t>(((index + 1) << 4) | (Head[2] & 0x0F));
  const int area = Frame.MainArea();
  Frame.BitRateKbps = kMpeg1Rates[index + 1];
  Frame.Size = 144000 * Frame.BitRateKbps / Frame.SampleRate + ((Head[2] >> 1) & 1);
  return Frame.MainArea() > area;
}

void SetMp3MainDataBegin(std::vector<uint8_t>& Head, TMp3Frame& Frame, int Bytes) {
  // The first 9 bits of the side info, after the header and any CRC.
  const size_t side = (Head[1] & 1) ? 4 : 6;
  Head[side] = static_cast<uint8_t>(Bytes >> 1);
  Head[side + 1] = static_cast<uint8_t>((Head[side + 1] & 0x7F) | ((Bytes & 1) << 7));
  Frame.MainDataBegin = Bytes;
}

bool SplitMp3Frames(const std::vector<uint8_t>& Bytes, size_t From, std::vector<TMp3Frame>& Frames) {
  Frames.clear();
  for (size_t at = From; at < Bytes.size();) {
    TMp3Frame frame;
    if (!ReadMp3Frame(Bytes.data() + at, Bytes.size() - at, frame)) return false;
    frame.Offset = at;
    Frames.push_back(frame);
    at += static_cast<size_t>(frame.Size);
  }
  return true;
}

uint16_t Crc16(const uint8_t* Data, size_t Bytes, uint16_t Crc) {
  for (size_t i = 0; i < Bytes; ++i) {
    Crc = static_cast<uint16_t>(Crc ^ Data[i]);
    for (int b = 0; b < 8; ++b) Crc = static_cast<uint16_t>((Crc & 1) ? (Crc >> 1) ^ 0xA001 : Crc >> 1);
  }
  return Crc;
}

void TMp3SeekTable::Add(int BitRateKbps) {
  ++FFrames;
  FSum += BitRateKbps;
  if (++FSeen < FWant) return;
  const int size = static_cast<int>(FBag.size());
  if (FPos < size) {
    FBag[static_cast<size_t>(FPos++)] = FSum;
    FSeen = 0;
  }
  if (FPos == size) {
    for (int i = 1; i < size; i += 2) FBag[static_cast<size_t>(i / 2)] = FBag[static_cast<size_t>(i)];
    FWant *= 2;
    FPos /= 2;
  }
}

void TMp3SeekTable::Write(uint8_t* Toc) const {
  std::memset(Toc, 0, 100);
  if (FPos <= 0) return;
  for (int i = 1; i < 100; ++i) {
    const float j = static_cast<float>(i) / 100.0F;
    int index = static_cast<int>(std::floor(j * static_cast<float>(FPos)));
    index = std::min(index, FPos - 1);
    const auto act = static_cast<float>(FBag[static_cast<size_t>(index)]);
    const auto sum = static_cast<float>(FSum);
    Toc[i] = static_cast<uint8_t>(std::min(255, static_cast<int>(256.0 * act / sum)));
  }
}

namespace {

// Where the Info/LAME tag of the frame Tag starts, or 0.
size_t TagStart(const std::vector<uint8_t>& Tag) {
  TMp3Frame frame;
  if (!ReadMp3Frame(Tag.data(), Tag.size(), frame) || static_cast<size_t>(frame.Size) != Tag.size()) return 0;
  const auto x = static_cast<size_t>(frame.SideInfoEnd);
  if (Tag.size() < x + 156) return 0;
  const uint8_t* t = Tag.data() + x;
  if (std::memcmp(t, "Info", 4) != 0 && std::memcmp(t, "Xing", 4) != 0) return 0;
  // Frames, bytes, TOC and quality, and the LAME extension.
  if (std::memcmp(t + 120, "LAME", 4) != 0 || Get(t + 4, 4) != 15) return 0;
  return x;
}

}  // namespace

int Mp3TagDelay(const std::vector<uint8_t>& Tag) {
  const size_t x = TagStart(Tag);
  return x == 0 ? -1 : static_cast<int>(Get(Tag.data() + x + 141, 3) >> 12);
}

bool RewriteMp3Tag(std::vector<uint8_t>& Tag, const TMp3TagFigures& Figures) {
  const size_t x = TagStart(Tag);
  if (x == 0) return false;
  uint8_t* t = Tag.data() + x;
  const int64_t delay = Get(t + 141, 3) >> 12;
  const int64_t padding = static_cast<int64_t>(Figures.Frames) * kSamplesPerFrame - Figures.Samples - delay;
  if (padding < 0 || padding > 4095) return false;
  const uint32_t bytes = static_cast<uint32_t>(Tag.size()) + Figures.AudioBytes;
  Put(t + 8, 4, static_cast<uint32_t>(Figures.Frames));
  Put(t + 12, 4, bytes);
  if (Figures.Seek) Figures.Seek->Write(t + 16);
  Put(t + 141, 3, static_cast<uint32_t>(delay << 12 | padding));
  Put(t + 148, 4, bytes);
  Put(t + 152, 2, Figures.MusicCrc);
  Put(t + 154, 2, Crc16(Tag.data(), x + 154));
  return true;
}

bool Mp3TagStates(const std::vector<uint8_t>& Tag, const TMp3TagFigures& Figures) {
  std::vector<uint8_t> copy = Tag;
  return RewriteMp3Tag(copy, Figures) && copy == Tag;
}

}  // namespace tonvale
