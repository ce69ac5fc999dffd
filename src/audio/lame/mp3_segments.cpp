#include "audio/lame/mp3_segments.h"

#include <time.h>

#include <algorithm>
#include <limits>
#include <numeric>

namespace tonvale {
namespace {

// Frames of lead-in whose output is dropped: enough for the encoder's state
// to reach the one a single pass has there. An hour of dense music cut four
// ways with 160 frames kept the bit reservoir of one splice a few bytes short
// of the single pass's (and the whole file fell back to one pass); with 320
// all 66 splices joined.
constexpr int64_t kLeadInFrames = 320;
constexpr uint32_t kChunkBytes = 16384;  // 4096 stereo 16-bit samples
constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();
constexpr uint8_t kModeExtension = 0x30;  // in the fourth header byte

// Gives the tag frame Tag the mode extension of the stream's last frame.
void TakeModeExtension(std::vector<uint8_t>& Tag, uint8_t LastHeader3) {
  Tag[3] = static_cast<uint8_t>((Tag[3] & ~kModeExtension) | (LastHeader3 & kModeExtension));
}

std::string ShortVersion() {
  auto version = reinterpret_cast<const char* (*)()>(LameEntry("get_lame_short_version"));
  return version ? version() : "";
}

}  // namespace

std::mutex& LameSetupLock() {
  static std::mutex lock;
  return lock;
}

int Mp3PaddingPeriod(int BitRateKbps, int SampleRate) {
  const int64_t rest = 144000LL * BitRateKbps % SampleRate;
  return static_cast<int>(SampleRate / std::gcd(rest, static_cast<int64_t>(SampleRate)));
}

std::vector<TMp3Segment> PlanMp3Segments(int64_t Samples, int Count, int Period) {
  std::vector<TMp3Segment> plan(static_cast<size_t>(std::max(1, Count)));
  const auto n = static_cast<int64_t>(plan.size());
  for (int64_t k = 0; k < n; ++k) {
    TMp3Segment& s = plan[static_cast<size_t>(k)];
    s.First = k * Samples / (kMp3FrameSamples * n);
    s.LeadIn = std::max<int64_t>(0, s.First - kLeadInFrames);
    s.LeadIn -= s.LeadIn % Period;
  }
  for (int64_t k = 0; k < n; ++k) {
    TMp3Segment& s = plan[static_cast<size_t>(k)];
    const bool last = k == n - 1;
    s.End = last ? -1 : plan[static_cast<size_t>(k + 1)].First;
    // Two frames past the end, so the kept frames do not hear the flush.
    s.FeedEnd = last ? Samples : std::min(Samples, (s.End + 2) * kMp3FrameSamples);
  }
  return plan;
}

struct TMp3SegmentRun::TOutput {
  TMp3Segment Segment;
  std::vector<uint8_t> Bytes;
  std::vector<TMp3Frame> Frames;  // the audio frames, after the tag frame
  std::vector<int64_t> Slot;      // where each frame's own area starts in the main data stream; one more
  std::vector<uint8_t> Tag;
  size_t KeepFrom = 0, KeepTo = 0;

  // Copies main data stream bytes From to To.
  void Copy(int64_t From, int64_t To, std::vector<uint8_t>& Dest) const {
    auto i = static_cast<size_t>(std::upper_bound(Slot.begin(), Slot.end(), From) - Slot.begin()) - 1;
    while (From < To) {
      const TMp3Frame& f = Frames[i];
      const int64_t stop = std::min(To, Slot[i + 1]);
      const uint8_t* area = Bytes.data() + f.Offset + f.SideInfoEnd;
      Dest.insert(Dest.end(), area + (From - Slot[i]), area + (stop - Slot[i]));
      From = stop;
      ++i;
    }
  }
};

TMp3SegmentRun::TMp3SegmentRun(TEncoderFactory NewEncoder, TSourceFactory Source, int64_t Samples, int Workers,
                               std::vector<TMp3Segment> Plan, bool Vbr)
    : FNewEncoder(std::move(NewEncoder)),
      FSource(std::move(Source)),
      FSamples(Samples),
      FWorkers(std::max(1, Workers)),
      FPlan(std::move(Plan)),
      FVbr(Vbr),
      FResults(FPlan.size()),
      FFailed(FPlan.size(), 0),
      FWriter(ShortVersion(), Vbr) {}

TMp3SegmentRun::~TMp3SegmentRun() { Abort(); }

void TMp3SegmentRun::Start() {
  std::lock_guard lock(FLock);
  for (int i = 0; i < FWorkers; ++i) FThreads.emplace_back([this] { Work(false); });
}

bool TMp3SegmentRun::AddWorker() {
  std::lock_guard lock(FLock);
  // A worker added before and not yet at work takes the next one.
  if (FAbort || FNext + static_cast<size_t>(FStarting) >= FPlan.size()) return false;
  ++FWorkers;
  ++FStarting;
  FThreads.emplace_back([this] { Work(true); });
  return true;
}

int TMp3SegmentRun::WorkersTookPart() {
  std::lock_guard lock(FLock);
  return FTookPart;
}

void TMp3SegmentRun::Abort() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(FLock);
    FAbort = true;
    threads.swap(FThreads);
  }
  FStop = true;
  FChanged.notify_all();
  for (std::thread& t : threads) t.join();
}

double TMp3SegmentRun::CpuSeconds() {
  std::lock_guard lock(FLock);
  return FCpu;
}

void TMp3SegmentRun::Work(bool Added) {
  bool tookPart = false;
  for (;;) {
    size_t k;
    {
      std::unique_lock lock(FLock);
      // At most one segment per worker waits ahead of the join, which bounds
      // the memory the segments' outputs take.
      FChanged.wait(
          lock, [&] { return FAbort || FNext >= FPlan.size() || FNext < FJoined + static_cast<size_t>(FWorkers) + 1; });
      if (Added && !tookPart) --FStarting;
      if (FAbort || FNext >= FPlan.size()) return;
      if (!tookPart) ++FTookPart;
      tookPart = true;
      k = FNext++;
    }
    auto out = std::make_unique<TOutput>();
    timespec begin{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &begin);
    bool ok = false;
    try {
      ok = Encode(FPlan[k], *out);
    } catch (...) {
      ok = false;
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    {
      std::lock_guard lock(FLock);
      FCpu += static_cast<double>(end.tv_sec - begin.tv_sec) + static_cast<double>(end.tv_nsec - begin.tv_nsec) * 1e-9;
      FResults[k] = std::move(out);
      FFailed[k] = ok ? 0 : 1;
    }
    FChanged.notify_all();
  }
}

bool TMp3SegmentRun::Encode(const TMp3Segment& Segment, TOutput& Out) {
  std::unique_ptr<TAuFileIn> source = FSource ? FSource() : nullptr;
  const int64_t start = Segment.LeadIn * kMp3FrameSamples;
  if (!source || !source->SeekSample(start)) return false;
  source->BeginRead();
  struct TEndRead {
    TAuFileIn& In;
    ~TEndRead() {
      try {
        In.EndRead();
      } catch (...) {
      }
    }
  } endRead{*source};
  lame_t context = FNewEncoder(Segment.FeedEnd - start);
  if (!context) return false;
  struct TClose {
    lame_t Context;
    ~TClose() {
      std::lock_guard lock(LameSetupLock());
      lame_close(Context);
    }
  } close{context};
  std::vector<uint8_t> buffer(kChunkBytes / 4 * 5 / 4 + 7200);
  const int64_t keepStart = Segment.First * kMp3FrameSamples;
  const int64_t keepEnd = Segment.End < 0 ? FSamples : Segment.End * kMp3FrameSamples;
  auto take = [&](int Produced) {
    if (Produced < 0) return false;
    Out.Bytes.insert(Out.Bytes.end(), buffer.begin(), buffer.begin() + Produced);
    return true;
  };
  // A stop ends the first segment where it is, as it would end a single
  // pass: what it encoded so far is what the file keeps.
  const bool first = Segment.LeadIn == 0;
  bool cut = false;
  int64_t at = start;
  while (at < Segment.FeedEnd) {
    if (FStop) {
      if (!first) return false;
      cut = true;
      break;
    }
    uint8_t* block = nullptr;
    auto bytes = static_cast<uint32_t>(std::min<int64_t>(kChunkBytes, (Segment.FeedEnd - at) * 4));
    source->GetData(block, bytes);
    if (bytes == 0 || !block || bytes % 4 != 0) return false;  // the source is shorter than it said
    const int samples = static_cast<int>(bytes / 4);
    if (!take(lame_encode_buffer_interleaved(context, reinterpret_cast<short*>(block), samples, buffer.data(),
                                             static_cast<int>(buffer.size()))))
      return false;
    FDone += std::max<int64_t>(0, std::min(at + samples, keepEnd) - std::max(at, keepStart));
    at += samples;
  }
  id3tag_init(context);
  if (!take(lame_encode_flush(context, buffer.data(), static_cast<int>(buffer.size())))) return false;
  if (!lame_get_lametag_frame) return false;
  Out.Tag.resize(buffer.size());
  const size_t tagSize = lame_get_lametag_frame(context, Out.Tag.data(), Out.Tag.size());
  if (tagSize == 0 || tagSize > Out.Tag.size()) return false;
  Out.Tag.resize(tagSize);
  // The output starts with a frame held for the tag.
  if (!SplitMp3Frames(Out.Bytes, 0, Out.Frames) || Out.Frames.empty() ||
      static_cast<size_t>(Out.Frames.front().Size) != tagSize)
    return false;
  Out.Frames.erase(Out.Frames.begin());
  // The tag frame's mode extension is its encoder's last frame's.
  if (Out.Frames.empty() || ((Out.Tag[3] ^ Out.Bytes[Out.Frames.back().Offset + 3]) & kModeExtension) != 0)
    return false;
  Out.Slot.assign(1, 0);
  for (const TMp3Frame& f : Out.Frames) Out.Slot.push_back(Out.Slot.back() + f.MainArea());
  Out.Segment = Segment;
  Out.KeepFrom = static_cast<size_t>(Segment.First - Segment.LeadIn);
  Out.KeepTo = Segment.End < 0 || cut ? Out.Frames.size() : static_cast<size_t>(Segment.End - Segment.LeadIn);
  if (Out.KeepFrom >= Out.KeepTo || Out.KeepTo > Out.Frames.size()) return false;
  // The segment's own tag must be what these figures give, or the rewriting
  // cannot be trusted with the joined stream.
  TMp3SeekTable seek;
  for (const TMp3Frame& f : Out.Frames) seek.Add(f.BitRateKbps);
  TMp3TagFigures own;
  own.Frames = static_cast<int>(Out.Frames.size());
  own.AudioBytes = static_cast<uint32_t>(Out.Bytes.size() - tagSize);
  own.Samples = at - start;
  own.MusicCrc = Crc16(Out.Bytes.data() + tagSize, Out.Bytes.size() - tagSize);
  own.Seek = &seek;
  return Mp3TagStates(Out.Tag, own);
}

bool TMp3SegmentRun::DataFits(const TOutput& S, int64_t Offset, int64_t From, int64_t To) const {
  for (size_t i = S.KeepFrom; i < S.KeepTo; ++i) {
    const int64_t begin = S.Slot[i] - S.Frames[i].MainDataBegin;
    if (begin < 0 || begin + Offset < From || begin + Offset + S.Frames[i].MainDataBytes > To) return false;
  }
  return true;
}

bool TMp3SegmentRun::Emit(TStream& Out, const TOutput* Next, int64_t X, int64_t NextOffset) {
  const TOutput& prev = *FPrev;
  const bool exact = prev.Segment.LeadIn == 0;
  std::vector<uint8_t> head, area;
  for (size_t i = prev.KeepFrom; i < prev.KeepTo; ++i) {
    const TMp3Frame& f = prev.Frames[i];
    head.assign(prev.Bytes.begin() + static_cast<int64_t>(f.Offset),
                prev.Bytes.begin() + static_cast<int64_t>(f.Offset) + f.SideInfoEnd);
    if (FVbr) {
      // The frame's own data, wherever the writer puts it.
      area.clear();
      const int64_t begin = prev.Slot[i] - f.MainDataBegin;
      prev.Copy(begin, begin + f.MainDataBytes, area);
      if (!FWriter.Place(Out, head, f, area.data())) return false;
      continue;
    }
    area.clear();
    const int64_t begin = FPrevOffset + prev.Slot[i], end = begin + f.MainArea();
    if (begin < X) prev.Copy(begin - FPrevOffset, std::min(end, X) - FPrevOffset, area);
    if (end > X) Next->Copy(std::max(begin, X) - NextOffset, end - NextOffset, area);
    if (!FWriter.Add(Out, head, f, area.data(), exact)) return false;
  }
  return true;
}

bool TMp3SegmentRun::Append(std::unique_ptr<TOutput> Next, TStream& Out) {
  if (!FPrev) {
    if (Next->Segment.LeadIn != 0) return false;
    FTag = Next->Tag;
    // The frame held for the tag, completed at the end.
    Out.Write(Next->Bytes.data(), static_cast<int64_t>(FTag.size()));
    FPrev = std::move(Next);
    return DataFits(*FPrev, 0, 0, kNoLimit);
  }
  // The first kept frame of Next takes the place the previous segment's
  // frame of that number has; its data starts where its own encoder put it,
  // which must be after the previous segment's last kept data.
  const int64_t slot = FPrevOffset + FPrev->Slot[FPrev->KeepTo];
  const TMp3Frame& first = Next->Frames[Next->KeepFrom];
  if (first.SampleRate != FPrev->Frames.front().SampleRate) return false;
  if (FVbr) {
    if (!DataFits(*Next, 0, 0, kNoLimit) || !Emit(Out, nullptr, kNoLimit, 0)) return false;
    FPrev = std::move(Next);
    return true;
  }
  const int64_t x = slot - first.MainDataBegin;
  const int64_t nextOffset = slot - Next->Slot[Next->KeepFrom];
  if (!DataFits(*FPrev, FPrevOffset, FPrevX, x) || !DataFits(*Next, nextOffset, x, kNoLimit)) return false;
  if (!Emit(Out, Next.get(), x, nextOffset)) return false;
  FPrev = std::move(Next);
  FPrevOffset = nextOffset;
  FPrevX = x;
  return true;
}

TMp3SegmentRun::TState TMp3SegmentRun::Step(TStream& Out, int Milliseconds) {
  std::unique_lock lock(FLock);
  if (FJoined == FPlan.size()) return FFinal ? sDone : sFailed;
  FChanged.wait_for(lock, std::chrono::milliseconds(Milliseconds), [&] { return FResults[FJoined] != nullptr; });
  while (FJoined < FPlan.size() && FResults[FJoined]) {
    std::unique_ptr<TOutput> next = std::move(FResults[FJoined]);
    const bool failed = FFailed[FJoined] != 0;
    ++FJoined;
    lock.unlock();
    FChanged.notify_all();
    if (failed || !Append(std::move(next), Out)) return sFailed;
    lock.lock();
  }
  if (FJoined < FPlan.size()) return sRunning;
  lock.unlock();
  if (!Emit(Out, nullptr, kNoLimit, 0) || !FWriter.Finish(Out, true)) return sFailed;
  // A single pass writes one frame more than the samples fill.
  const int64_t frames = (FSamples + kMp3FrameSamples - 1) / kMp3FrameSamples + 1;
  std::vector<uint8_t> tag = FTag;
  TakeModeExtension(tag, FWriter.LastHeader3());
  TMp3TagFigures figures{FWriter.Frames(), FWriter.AudioBytes(), FSamples, FWriter.MusicCrc(), &FWriter.Seek()};
  if (FWriter.Frames() != frames || !RewriteMp3Tag(tag, figures)) return sFailed;
  FTag = tag;
  FPrev.reset();
  FFinal = true;
  return sDone;
}

bool TMp3SegmentRun::Complete(TStream& Out, int64_t TagAt) {
  if (!FFinal) {
    // Stopped: the segment waiting for its successor ends the file, its
    // kept frames' data all its own, and the tag states what was written.
    if (!FPrev && FJoined == 0 && FResults[0] && FFailed[0] == 0) {
      ++FJoined;
      Append(std::move(FResults[0]), Out);
    }
    if (FPrev) Emit(Out, nullptr, kNoLimit, 0);
    FPrev.reset();
    FWriter.Finish(Out, false);
    const int delay = Mp3TagDelay(FTag);
    if (FWriter.Frames() == 0 || delay < 0) return true;
    TakeModeExtension(FTag, FWriter.LastHeader3());
    TMp3TagFigures figures{FWriter.Frames(), FWriter.AudioBytes(), int64_t{FWriter.Frames()} * kMp3FrameSamples - delay,
                           FWriter.MusicCrc(), &FWriter.Seek()};
    if (!RewriteMp3Tag(FTag, figures)) return false;
  }
  return Out.Seek(TagAt, TSeekOrigin::soBeginning) == TagAt &&
         Out.Write(FTag.data(), static_cast<int64_t>(FTag.size())) == static_cast<int64_t>(FTag.size());
}

}  // namespace tonvale
