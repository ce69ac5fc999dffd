#pragma once
// One long PCM source encoded to MP3 by several LAME encoders at once, each
// on a segment of the source with a lead-in whose output is dropped, and the
// segments joined into the stream a single encoder would have written: the
// main data of the first frames after each splice is taken from where the
// segment's own encoder put it, which must lie past the previous segment's
// data, and the Info/LAME tag is rewritten for the whole. Anything that does
// not fit makes the join fail; the caller then encodes in one pass.
// VBR encoders' reservoirs differ at a splice, so VBR frames are re-packed
// (see TMp3FrameWriter::Place).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/core/au_file_in.h"
#include "audio/lame/lame_binding.h"
#include "audio/lame/mp3_frame_writer.h"
#include "audio/lame/mp3_frames.h"
#include "platform/stream.h"

namespace tonvale {

constexpr int kMp3FrameSamples = 1152;

// Frames (of 1152 input samples) of one segment.
struct TMp3Segment {
  int64_t LeadIn = 0;   // where its encoder starts
  int64_t First = 0;    // its first kept frame
  int64_t End = 0;      // after its last kept frame (-1: to the end)
  int64_t FeedEnd = 0;  // samples it is given, from 0
};

// The frames after which LAME's CBR frame sizes repeat (1 for VBR).
int Mp3PaddingPeriod(int BitRateKbps, int SampleRate);
// Count segments of Samples, their lead-ins starting on Period.
std::vector<TMp3Segment> PlanMp3Segments(int64_t Samples, int Count, int Period);

// The encoders' lame_init, lame_init_params and lame_close, which are not
// safe to run at the same time.
std::mutex& LameSetupLock();

class TMp3SegmentRun {
 public:
  // A set-up encoder for a segment of that many samples (null on failure).
  using TEncoderFactory = std::function<lame_t(int64_t Samples)>;
  using TSourceFactory = std::function<std::unique_ptr<TAuFileIn>()>;
  enum TState { sRunning, sDone, sFailed };

  TMp3SegmentRun(TEncoderFactory NewEncoder, TSourceFactory Source, int64_t Samples, int Workers,
                 std::vector<TMp3Segment> Plan, bool Vbr = false);
  ~TMp3SegmentRun();
  TMp3SegmentRun(const TMp3SegmentRun&) = delete;
  TMp3SegmentRun& operator=(const TMp3SegmentRun&) = delete;

  void Start();
  // One worker more, on a core that became free while the run goes on: it
  // takes the segments not started yet, so only who encodes which segment
  // changes. False when none is left for it, or after Abort.
  bool AddWorker();
  // Workers that encoded a segment so far.
  int WorkersTookPart();
  // Waits up to Milliseconds for a segment, then joins the finished ones in
  // order into Out (at its position, the tag frame first).
  TState Step(TStream& Out, int Milliseconds);
  // Source samples of kept frames encoded so far.
  int64_t SamplesDone() const { return FDone.load(); }
  // Ends the encoders, waiting for them.
  void Abort();
  // Completes the stream in Out: the last segment joined after sDone, or
  // after an abort what was joined so far, the tag frame at TagAt. False
  // when the tag cannot be written.
  bool Complete(TStream& Out, int64_t TagAt);
  // Frames written to Out.
  int Frames() const { return FWriter.Frames(); }
  int Segments() const { return static_cast<int>(FPlan.size()); }
  // Frames given a higher bit rate to make a VBR splice fit.
  int Raised() const { return FWriter.Raised(); }
  // Processor time the segments' encoders took, in seconds.
  double CpuSeconds();

 private:
  struct TOutput;
  bool Encode(const TMp3Segment& Segment, TOutput& Out);
  void Work(bool Added);
  bool Append(std::unique_ptr<TOutput> Next, TStream& Out);
  // Writes Prev's kept frames, bytes of the main data stream from X on taken
  // from Next.
  bool Emit(TStream& Out, const TOutput* Next, int64_t X, int64_t NextOffset);
  bool DataFits(const TOutput& S, int64_t Offset, int64_t From, int64_t To) const;

  TEncoderFactory FNewEncoder;
  TSourceFactory FSource;
  int64_t FSamples;
  int FWorkers;  // under FLock once started
  std::vector<TMp3Segment> FPlan;
  bool FVbr;

  std::mutex FLock;
  std::condition_variable FChanged;
  std::vector<std::unique_ptr<TOutput>> FResults;
  std::vector<char> FFailed;
  size_t FNext = 0;    // the next segment to start
  size_t FJoined = 0;  // segments handed to the join
  int FStarting = 0;   // added workers yet to take a segment
  int FTookPart = 0;
  bool FAbort = false;
  double FCpu = 0;
  std::atomic<bool> FStop{false};
  std::atomic<int64_t> FDone{0};
  std::vector<std::thread> FThreads;  // under FLock

  // The join.
  std::unique_ptr<TOutput> FPrev;
  int64_t FPrevOffset = 0;  // joined stream position of Prev's stream start
  int64_t FPrevX = 0;       // where the joined stream starts taking Prev's bytes
  std::vector<uint8_t> FTag;
  TMp3FrameWriter FWriter;
  bool FFinal = false;  // every segment joined, the tag rewritten
};

}  // namespace tonvale
