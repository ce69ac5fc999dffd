#pragma once
// The abstract PCM source. An output pulls interleaved little-endian PCM in
// whole frames from it, on the output's worker thread, through BeginRead,
// GetData and EndRead.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "audio/core/au_component.h"
#include "audio/core/au_warnings.h"

namespace tonvale {

class TAuInput : public TAuComponent {
 public:
  explicit TAuInput(TAuComponent* Owner) : TAuComponent(Owner) {}

  virtual int BitsPerSample() = 0;
  virtual int Channels() = 0;
  virtual int SampleRate() = 0;
  virtual int TotalSeconds() { return 0; }
  // Samples are IEEE floats (32 or 64 bits) rather than integers.
  virtual bool FloatSamples() { return false; }
  // The speakers of the channels, as a WAVE_FORMAT_EXTENSIBLE mask; 0 means
  // the usual layout for the channel count.
  virtual uint32_t ChannelMask() { return 0; }
  virtual int64_t SampleCount() { return 0; }
  // The size is what the source states to the byte (a WAV's data chunk), not
  // a length a decoder estimates: any frame short of it is missing.
  virtual bool ExactSize() { return false; }
  // What the read found beside its audio that the run reports (a length the
  // header states twice and differently, audio that could not be decoded);
  // asked when the read has delivered its last data, before it ends.
  virtual std::vector<TAuWarningText> ReadNotes() { return {}; }

  // A failure to begin is swallowed: the read then delivers no data.
  void BeginRead();
  // Errors propagate.
  void EndRead();
  // On entry Bytes is the most the caller wants; on return Buffer points into
  // the input's own buffer (valid until the next call) and Bytes says how many
  // bytes are there, a whole number of frames. Bytes = 0 means the end.
  virtual void GetData(uint8_t*& Buffer, uint32_t& Bytes);
  // Ends the read whatever state it is in.
  virtual void ForceEnd();

  // Bytes delivered so far in this read, and bytes the read will deliver in
  // all (-1 when not known). Readable from any thread.
  int64_t Position() const { return DataPosition.load(); }
  int64_t Size() const { return DataSize.load(); }
  bool IsReading() const { return Reading.load(); }
  // The source said it has nothing more (or the read never began): the
  // difference between a source that ended and a reader that stopped asking.
  bool Ended() const { return Exhausted.load(); }

 protected:
  virtual void DoBeginRead() = 0;
  virtual void DoEndRead() = 0;
  virtual void ReadData(uint8_t*& Buffer, uint32_t& Bytes) = 0;

  std::atomic<int64_t> DataPosition{0};
  std::atomic<int64_t> DataSize{0};
  uint16_t FrameSize = 0;
  std::atomic<bool> Reading{false};
  // Unread window of the input's own buffer, 1-based; empty when First > Last.
  uint32_t BufferFirst = 1;
  uint32_t BufferLast = 0;
  std::recursive_mutex DataLock;
  std::atomic<bool> Exhausted{false};
};

// Sample rates Tonvale converts: 1 kHz to 384 kHz.
constexpr int kMinSourceRate = 1000;
constexpr int kMaxSourceRate = 384000;
// Channels Tonvale converts (down-mixed for MP3 and WMA): up to 7.1.
constexpr int kMaxSourceChannels = 8;
// Raises a clear EAuException for a rate outside that range.
void CheckSourceRate(int Rate);

// Asks Input for up to Count bytes and copies what it gives to Dest.
uint32_t ReadInto(TAuInput* Input, uint8_t* Dest, uint32_t Count);
// Fills Dest with Count bytes, rounded down to whole frames of the input,
// unless the input ends first (Ended is then set).
uint32_t ReadFull(TAuInput* Input, uint8_t* Dest, uint32_t Count, bool& Ended);

}  // namespace tonvale
