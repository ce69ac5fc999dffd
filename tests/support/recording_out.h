#pragma once
// An output that keeps what it receives and records the hooks it went
// through, for testing the run machinery alone.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/core/au_output.h"

namespace tonvale::test {

class RecordingOut : public TAuOutput {
 public:
  explicit RecordingOut(TAuComponent* Owner = nullptr) : TAuOutput(Owner) {}
  ~RecordingOut() override { BeforeDestruction(); }

  uint32_t ChunkBytes = 4096;
  std::atomic<int> ChunkSleepMs{0};  // pause inside every chunk
  std::string PrepareError;          // Prepare throws this when not empty
  std::function<void()> OnChunk;     // called on the worker in every chunk

  // What happened, in order: "prepare", "chunk", "finish" (with
  // "finish-interrupted" when Interrupted was set).
  std::vector<std::string> Calls() const;
  std::vector<uint8_t> Received() const;
  int Chunks() const { return FChunks.load(); }
  std::thread::id WorkerThread() const;

 protected:
  void Prepare() override;
  bool OutputChunk(bool Abort) override;
  void Finish() override;

 private:
  void Log(const std::string& What);
  mutable std::mutex FLock;
  std::vector<std::string> FCalls;
  std::vector<uint8_t> FReceived;
  std::thread::id FWorker;
  std::atomic<int> FChunks{0};
};

}  // namespace tonvale::test
