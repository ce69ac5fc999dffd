#include "audio/core/au_file_in.h"

#include <cmath>

#include "audio/core/au_exception.h"

namespace tonvale {

void TAuFileIn::BeforeDestruction() {
  TAuStreamedInput::BeforeDestruction();
  std::lock_guard lock(OpenLock);
  CloseSource();
}

void TAuFileIn::SetFileName(const std::string& Value) {
  CloseSource();
  FFileName = Value;
  ForgetFormat();
}

void TAuFileIn::ForgetFormat() {
  FBitsPerSample = 0;
  FSampleRate = 0;
  FChannels = 0;
  DataSize = 0;
  FSampleCount = 0;
}

void TAuFileIn::AttachStream(TStream* Stream) {
  CloseSource();
  ForgetFormat();
  TAuStreamedInput::AttachStream(Stream);
}

void TAuFileIn::ForceEnd() {
  TAuStreamedInput::ForceEnd();
  OpenCount = 0;
}

int TAuFileIn::BitsPerSample() {
  OpenSource();
  return static_cast<int>(FBitsPerSample);
}

int TAuFileIn::Channels() {
  OpenSource();
  return static_cast<int>(FChannels);
}

int TAuFileIn::SampleRate() {
  OpenSource();
  return static_cast<int>(FSampleRate);
}

int TAuFileIn::TotalSeconds() {
  OpenSource();
  const int bytesPerSample = FBitsPerSample / 8;  // whole bytes, as the data holds them
  if (FSampleRate == 0 || FChannels == 0 || bytesPerSample == 0) return 0;
  const double seconds =
      static_cast<double>(DataSize.load()) / (static_cast<double>(FSampleRate) * FChannels * bytesPerSample);
  return static_cast<int>(std::nearbyint(seconds));
}

int64_t TAuFileIn::SampleCount() {
  OpenSource();
  int64_t frame = (static_cast<int64_t>(FChannels) * FBitsPerSample) / 8;
  int64_t size = DataSize;
  if (size > 0)
    FSampleCount = frame > 0 ? size / frame : 0;
  else
    FSampleCount = -1;
  return FSampleCount;
}

bool TAuFileIn::SeekSample(int64_t Sample) {
  if (!CanSeek || (FSampleCount != 0 && FSampleCount < Sample)) return false;
  std::lock_guard lock(DataLock);
  if (!Reading) {
    FStartSample = Sample;
    DataPosition = Sample * FrameSize;
    FEndSample = -1;
    return true;
  }
  try {
    int64_t target = FStartSample + Sample;
    bool ok = SeekTo(target);
    DataPosition = (target - FStartSample) * FrameSize;
    return ok;
  } catch (const std::exception&) {
    return false;
  }
}

void TAuFileIn::DoBeginRead() {
  if (Reading) throw EAuException("The component is Busy");
  if (!DataStream && FFileName.empty()) throw EAuException("The file name is not assigned");
  Reading = true;
  DataPosition = 0;
  OpenSource();
  const uint64_t frame = (static_cast<uint64_t>(FChannels) * FBitsPerSample) / 8;
  if (frame == 0 || frame > UINT16_MAX) throw EAuException("Division by zero");
  FrameSize = static_cast<uint16_t>(frame);
  const int64_t size = DataSize;
  if (size < 0) {
    // Unknown length: there is nothing to narrow a range against.
    FSampleCount = -1;
    BufferFirst = 1;
    BufferLast = 0;
    return;
  }
  FSampleCount = size / FrameSize;
  if (FStartSample > 0 || FEndSample != -1) {
    if (FEndSample >= FSampleCount) FEndSample = -1;
    const int64_t last = FEndSample != -1 ? FEndSample : FSampleCount - 1;
    if (FStartSample < 0 || FStartSample > last) {
      // A range that starts past the end (or ends before it starts) holds
      // nothing: the read delivers no data.
      FSampleCount = 0;
      DataSize = 0;
      Exhausted = true;
    } else {
      if (FStartSample > 0 && CanSeek) {
        int64_t start = FStartSample;
        SeekTo(start);
      }
      FSampleCount = last - FStartSample + 1;
      DataSize = FSampleCount * FrameSize;
    }
    DataPosition = 0;
  }
  BufferFirst = 1;
  BufferLast = 0;
}

void TAuFileIn::DoEndRead() {
  CloseSource();
  FStartSample = 0;
  FEndSample = -1;
  Reading = false;
}

}  // namespace tonvale
