#pragma once
// The MP3 file output: encodes its input's PCM with the LAME library.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/core/au_tagged_file_out.h"
#include "audio/lame/lame_binding.h"
#include "audio/lame/mp3_segments.h"
#include "platform/sample_converter.h"

namespace tonvale {

enum TMP3BitRate {
  br8,
  br16,
  br24,
  br32,
  br40,
  br48,
  br56,
  br64,
  br80,
  br96,
  br112,
  br128,
  br144,
  br160,
  br192,
  br224,
  br256,
  br320
};
enum TMP3Quality { ql0, ql1, ql2, ql3, ql4, ql5, ql6, ql7, ql8, ql9 };
enum TMP3SampleRate { srDefault, sr32kHz, sr41kHz, sr48kHz };
enum TMP3Mode { STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO };

// The rate of a TMP3BitRate in kbit/s.
int BitRateKbps(TMP3BitRate Rate);

class TMP3Out final : public TAuTaggedFileOut {
 public:
  // Raises "<library> library could not be loaded." without the library.
  explicit TMP3Out(TAuComponent* Owner);
  ~TMP3Out() override;

  TMP3BitRate BitRate() const { return FBitRate; }
  void SetBitRate(TMP3BitRate V) { FBitRate = V; }
  TMP3Quality Quality() const { return FQuality; }
  void SetQuality(TMP3Quality V) { FQuality = V; }
  TMP3SampleRate SampleRate() const { return FSampleRate; }
  void SetSampleRate(TMP3SampleRate V) { FSampleRate = V; }
  TMP3Mode Mode() const { return FMode; }
  void SetMode(TMP3Mode V) { FMode = V; }
  bool CRC() const { return FCRC; }
  void SetCRC(bool V) { FCRC = V; }
  bool Copyright() const { return FCopyright; }
  void SetCopyright(bool V) { FCopyright = V; }
  bool Original() const { return FOriginal; }
  void SetOriginal(bool V) { FOriginal = V; }
  bool WriteVBRHeader() const { return FWriteVBRHeader; }
  void SetWriteVBRHeader(bool V) { FWriteVBRHeader = V; }
  bool EnableVBR() const { return FEnableVBR; }
  void SetEnableVBR(bool V) { FEnableVBR = V; }
  TMP3Quality VBRQuality() const { return FVBRQuality; }
  void SetVBRQuality(TMP3Quality V) { FVBRQuality = V; }
  int VBRMinBitrate() const { return FVBRMinBitrate; }
  void SetVBRMinBitrate(int V) { FVBRMinBitrate = V; }
  int VBRMaxBitrate() const { return FVBRMaxBitrate; }
  void SetVBRMaxBitrate(int V) { FVBRMaxBitrate = V; }

  // Bytes written at the start of the file before the first frame (an ID3v2
  // tag); the VBR header frame is completed after them.
  std::vector<uint8_t> LeadingTag;

  // The cores one file may use. Above 1, a stereo or joint stereo encoding
  // without CRC of 16-bit stereo PCM of at least two minutes at 32, 44.1 or
  // 48 kHz, which SegmentSource reads again from any sample, is encoded in
  // segments at once and joined: CBR into the stream a single pass writes,
  // VBR re-packed at the splices; a join that does not fit falls back to
  // one pass.
  int SegmentLanes = 1;
  // The cores the segments are planned for when more may come free while
  // the file runs (LendWorker); SegmentLanes of them encode from the start.
  int SegmentPlanLanes = 1;
  TMp3SegmentRun::TSourceFactory SegmentSource;
  // From any thread: a core that came free joins the running segmented
  // encoding; false when there is none or it has no segment left to start.
  bool LendWorker();
  // Of the last run: the segments (1: one pass), and whether its join
  // failed and the file was encoded in one pass instead.
  int LastSegments() const { return FLastSegments; }
  bool LastFellBack() const { return FFellBack; }
  // The workers that encoded the last run's segments (1: one pass).
  int LastWorkers() const { return FWorkers; }
  // Frames the last run's VBR join gave a higher bit rate to fit a splice.
  int LastRaised() const { return FRaised; }
  // The processor time of the last run's segment encoders, in seconds.
  double LastSegmentCpu() const { return FSegmentCpu; }

 protected:
  void Prepare() override;
  bool OutputChunk(bool Abort) override;
  void Finish() override;
  void AbandonRun() override;

 private:
  void Configure(TAuInput* In);
  // An encoder with this output's settings for Samples at Rate, set up (null
  // when the library refuses them).
  lame_t NewEncoder(int Rate, int64_t Samples) const;
  static void CloseEncoder(lame_t Context);
  void StartSegments(TAuInput* In);
  // Replaces the segment run; the old one ends outside the lock.
  void SetSegmented(std::unique_ptr<TMp3SegmentRun> Run);
  bool SegmentedChunk();
  // Drops the joined part and encodes the file in one pass from a new read.
  void FallBack();
  // Reads the input on to Position; false when it ended first.
  bool ReadInputTo(int64_t Position);
  void EncodeBlock(uint8_t* Block, uint32_t Bytes);
  // Frees the encoder and closes the file left by a run that did not finish.
  void Release();
  // The input's block as interleaved 16-bit stereo in Stereo; returns the
  // frames.
  int ToStereo16(const uint8_t* Block, uint32_t Bytes);

  TMP3BitRate FBitRate = br128;
  TMP3Quality FQuality = ql5;
  TMP3SampleRate FSampleRate = srDefault;
  TMP3Mode FMode = STEREO;
  bool FCRC = false;
  bool FCopyright = false;
  bool FOriginal = true;
  bool FWriteVBRHeader = false;
  bool FEnableVBR = false;
  TMP3Quality FVBRQuality = ql5;
  int FVBRMinBitrate = 128;
  int FVBRMaxBitrate = 192;

  bool FBound = false;
  lame_t Context = nullptr;
  int InChannels = 0;
  int InBits = 0;
  std::vector<uint8_t> Mp3Buffer;
  std::vector<int16_t> Stereo;
  bool Converted = false;  // the input goes through Converter
  bool FloatInput = false;
  std::vector<uint8_t> FloatBlock;  // a float block, clipped
  TSampleConverter Converter;
  // Set and reset on the run's thread, under FSegmentedLock for LendWorker.
  std::unique_ptr<TMp3SegmentRun> Segmented;
  std::mutex FSegmentedLock;
  std::unique_ptr<TAuFileIn> FallbackSource;
  int FLastSegments = 1;
  int FWorkers = 1;
  int FRaised = 0;
  bool FFellBack = false;
  double FSegmentCpu = 0;
};

}  // namespace tonvale
