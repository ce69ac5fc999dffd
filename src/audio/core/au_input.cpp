#include "audio/core/au_input.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "audio/core/au_exception.h"

namespace tonvale {

void TAuInput::BeginRead() {
  std::lock_guard lock(DataLock);
  Exhausted = false;
  try {
    DoBeginRead();
  } catch (const std::exception&) {
    Exhausted = true;
  }
}

void TAuInput::EndRead() {
  std::lock_guard lock(DataLock);
  DoEndRead();
}

void TAuInput::GetData(uint8_t*& Buffer, uint32_t& Bytes) {
  std::lock_guard lock(DataLock);
  ReadData(Buffer, Bytes);
}

void TAuInput::ForceEnd() {
  try {
    EndRead();
  } catch (const std::exception&) {
  }
  Reading = false;
}

void CheckSourceRate(int Rate) {
  if (Rate < kMinSourceRate || Rate > kMaxSourceRate)
    throw EAuException("The source's sample rate of " + std::to_string(Rate) +
                       " Hz is not one that can be converted (1000 to 384000 Hz).");
}

uint32_t ReadInto(TAuInput* Input, uint8_t* Dest, uint32_t Count) {
  uint8_t* buffer = nullptr;
  uint32_t bytes = Count;
  Input->GetData(buffer, bytes);
  if (!buffer) return 0;
  std::memcpy(Dest, buffer, bytes);
  return bytes;
}

uint32_t ReadFull(TAuInput* Input, uint8_t* Dest, uint32_t Count, bool& Ended) {
  uint32_t done = 0;
  Ended = false;
  // A request for part of a frame would be answered with nothing, which
  // reads as the end of the source.
  const auto frame = static_cast<uint32_t>(std::max(Input->Channels() * Input->BitsPerSample() / 8, 1));
  Count -= Count % frame;
  while (done < Count) {
    uint32_t n = ReadInto(Input, Dest + done, Count - done);
    if (n == 0) {
      Ended = true;
      break;
    }
    done += n;
  }
  return done;
}

}  // namespace tonvale
