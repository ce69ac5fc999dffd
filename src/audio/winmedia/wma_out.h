#pragma once
// The WMA file output: encodes its input's PCM through the media runtime's
// writer, with the codec and format chosen by index or searched by bit rate,
// VBR quality or lossless coding, and writes the ID3v2 set as attributes.

#include <string>
#include <vector>

#include "audio/core/au_tagged_file_out.h"
#include "audio/winmedia/wma_writer.h"

namespace tonvale {

class TWMAOut final : public TAuTaggedFileOut {
 public:
  explicit TWMAOut(TAuComponent* Owner);
  ~TWMAOut() override;

  // The runtime's audio codecs, listed at construction.
  const std::vector<std::string>& Codecs() const { return FCodecs; }
  // The formats of codec Index (VBR formats when VBR or Lossless is set).
  const std::vector<std::string>& Formats(uint16_t Index);

  int32_t CodecIndex = -1;
  int32_t FormatIndex = 0;

  uint32_t DesiredBitrate() const { return FDesiredBitrate; }
  void SetDesiredBitrate(uint32_t V) { FDesiredBitrate = V; }
  bool Lossless() const { return FLossless; }
  void SetLossless(bool V) { FLossless = V; }
  bool VBR() const { return FVBR; }
  void SetVBR(bool V) { FVBR = V; }
  uint8_t VBRQuality() const { return FVBRQuality; }
  void SetVBRQuality(uint8_t V) { FVBRQuality = V; }

 protected:
  void Prepare() override;
  bool OutputChunk(bool Abort) override;
  void Finish() override;
  void AbandonRun() override;

 private:
  // The system's reason when writing the file failed, else empty.
  std::string WriteFailureReason() const;

  std::vector<std::string> FCodecs;
  std::vector<std::string> FFormats;
  TWMAWriter FWriter;
  bool EndOfInput = false;
  uint32_t InBits = 0;
  std::vector<uint8_t> Buffer;
  uint32_t FDesiredBitrate = 0;
  bool FLossless = false;
  bool FVBR = false;
  uint8_t FVBRQuality = 0;
};

}  // namespace tonvale
