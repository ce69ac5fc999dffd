// PCM moved from a memory input to an output that discards it, through the
// real worker and delivery threads, beside a plain memcpy of the same bytes.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "audio/core/au_file_in.h"
#include "audio/core/au_input.h"
#include "audio/core/au_output.h"
#include "platform/ui_thread.h"

using namespace tonvale;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kChunk = 16384;

class MemIn : public TAuFileIn {
 public:
  MemIn() : TAuFileIn(nullptr) {}
  ~MemIn() override { BeforeDestruction(); }

 protected:
  void OpenSource() override {
    std::lock_guard lock(OpenLock);
    if (OpenCount) return;
    FBitsPerSample = 16;
    FSampleRate = 44100;
    FChannels = 2;
    DataSize = DataStream->Size();
    OpenCount = 1;
  }
  void CloseSource() override {
    std::lock_guard lock(OpenLock);
    if (OpenCount && DataStream) DataStream->SetPosition(0);
    OpenCount = 0;
  }
  bool SeekTo(int64_t& Sample) override {
    DataStream->SetPosition(Sample * FrameSize);
    BufferFirst = 1;
    BufferLast = 0;
    return true;
  }
  void ReadData(uint8_t*& Buffer, uint32_t& Bytes) override {
    if (BufferFirst > BufferLast) {
      BufferFirst = 1;
      BufferLast = static_cast<uint32_t>(DataStream->Read(FBuffer, kChunk));
    }
    Bytes -= Bytes % FrameSize;
    Bytes = std::min(Bytes, BufferLast - BufferFirst + 1);
    Buffer = FBuffer + BufferFirst - 1;
    BufferFirst += Bytes;
  }

 private:
  uint8_t FBuffer[kChunk];
};

class NullOut : public TAuOutput {
 public:
  NullOut() : TAuOutput(nullptr) {}
  ~NullOut() override { BeforeDestruction(); }
  uint64_t Total = 0;

 protected:
  void Prepare() override {
    Total = 0;
    Input()->BeginRead();
  }
  bool OutputChunk(bool Abort) override {
    if (Abort) return false;
    uint32_t n = ReadInto(Input(), FBuffer, kChunk);
    Total += n;
    return n > 0;
  }
  void Finish() override { Input()->EndRead(); }

 private:
  uint8_t FBuffer[kChunk];
};

double Seconds(Clock::time_point Start) { return std::chrono::duration<double>(Clock::now() - Start).count(); }

}  // namespace

int main(int argc, char** argv) {
  ui_thread::Initialise();
  const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  const size_t bytes = megabytes << 20;
  std::vector<uint8_t> pcm(bytes);
  for (size_t i = 0; i < bytes; ++i) pcm[i] = static_cast<uint8_t>(i * 7);

  // The ceiling: one memcpy of the same bytes in 16384-byte pieces.
  std::vector<uint8_t> sink(kChunk);
  double copyTime = 1e9;
  for (int round = 0; round < 3; ++round) {
    auto start = Clock::now();
    for (size_t off = 0; off < bytes; off += kChunk) {
      std::memcpy(sink.data(), pcm.data() + off, std::min<size_t>(kChunk, bytes - off));
      asm volatile("" : : "r"(sink.data()) : "memory");
    }
    copyTime = std::min(copyTime, Seconds(start));
  }

  TMemoryStream stream(std::move(pcm));
  MemIn in;
  in.AttachStream(&stream);
  NullOut out;
  out.SetInput(&in);
  out.SetDoneDelay(0);
  bool done = false;
  out.SetOnDone([&](TAuComponent*) { done = true; });
  double coreTime = 1e9;
  for (int round = 0; round < 3; ++round) {
    done = false;
    auto start = Clock::now();
    out.Run();
    ui_thread::ProcessUntil([&] { return done; }, std::chrono::minutes(5));
    coreTime = std::min(coreTime, Seconds(start));
    if (out.Total != bytes) {
      std::fprintf(stderr, "moved %llu bytes of %zu\n", static_cast<unsigned long long>(out.Total), bytes);
      return 1;
    }
  }

  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("core pipeline: %.0f MB/s (%zu MiB, %u-byte chunks)\n", mb / coreTime, megabytes, kChunk);
  std::printf("memcpy:        %.0f MB/s\n", mb / copyTime);
  std::printf("ratio core/memcpy: %.2f (goal: at least 0.33)\n", copyTime / coreTime);
  return 0;
}
