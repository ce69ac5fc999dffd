#pragma once
// An input reading from a source stream, with seeking, a sample range and
// looping.

#include <memory>

#include "audio/core/au_input.h"
#include "platform/stream.h"

namespace tonvale {

class TAuStreamedInput : public TAuInput {
 public:
  explicit TAuStreamedInput(TAuComponent* Owner) : TAuInput(Owner) {}
  ~TAuStreamedInput() override;

  void GetData(uint8_t*& Buffer, uint32_t& Bytes) override;
  // Reads from Stream instead of the input's own source; the stream stays the
  // caller's. nullptr detaches.
  virtual void AttachStream(TStream* Stream);

  int64_t StartSample() const { return FStartSample; }
  void SetStartSample(int64_t Value) { FStartSample = Value; }
  int64_t EndSample() const { return FEndSample; }
  void SetEndSample(int64_t Value) { FEndSample = Value; }
  bool Loop() const { return FLoop; }
  void SetLoop(bool Value) { FLoop = Value; }

 protected:
  // Positions the source so that the next ReadData delivers from frame Sample;
  // may move Sample to where it really landed. False when it cannot.
  virtual bool SeekTo(int64_t& Sample) = 0;

  // Frees the stream when it is the input's own.
  void ReleaseStream();

  TStream* DataStream = nullptr;
  bool ExternalStream = false;
  bool CanSeek = true;
  int64_t FStartSample = 0;
  int64_t FEndSample = -1;
  bool FLoop = false;
  int64_t FSampleCount = 0;
};

}  // namespace tonvale
