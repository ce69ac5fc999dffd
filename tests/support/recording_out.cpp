#include "support/recording_out.h"

#include <chrono>

#include "audio/core/au_exception.h"
#include "audio/core/au_input.h"

namespace tonvale::test {

std::vector<std::string> RecordingOut::Calls() const {
  std::lock_guard lock(FLock);
  return FCalls;
}

std::vector<uint8_t> RecordingOut::Received() const {
  std::lock_guard lock(FLock);
  return FReceived;
}

std::thread::id RecordingOut::WorkerThread() const {
  std::lock_guard lock(FLock);
  return FWorker;
}

void RecordingOut::Log(const std::string& What) {
  std::lock_guard lock(FLock);
  FCalls.push_back(What);
  FWorker = std::this_thread::get_id();
}

void RecordingOut::Prepare() {
  Log("prepare");
  {
    std::lock_guard lock(FLock);
    FReceived.clear();
  }
  if (!PrepareError.empty()) throw EAuException(PrepareError);
  Input()->BeginRead();
}

bool RecordingOut::OutputChunk(bool Abort) {
  Log("chunk");
  ++FChunks;
  if (Abort) return false;
  if (OnChunk) OnChunk();
  if (ChunkSleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ChunkSleepMs));
  std::vector<uint8_t> part(ChunkBytes);
  uint32_t n = ReadInto(Input(), part.data(), ChunkBytes);
  std::lock_guard lock(FLock);
  FReceived.insert(FReceived.end(), part.begin(), part.begin() + n);
  return n > 0;
}

void RecordingOut::Finish() {
  Log(Interrupted() ? "finish-interrupted" : "finish");
  Input()->EndRead();
}

}  // namespace tonvale::test
