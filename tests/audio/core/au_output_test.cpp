#include "audio/core/au_output.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "audio/core/au_exception.h"
#include "audio/core/au_thread.h"
#include "platform/ui_thread.h"
#include "support/memory_in.h"
#include "support/recording_out.h"
#include "support/wait.h"

using namespace tonvale;
using test::WaitUntil;
using namespace std::chrono_literals;
using test::CountingPcm;
using test::MemoryIn;
using test::RecordingOut;

namespace {

// Records the reports an output delivers, with the thread they arrive on.
struct Reports {
  std::vector<std::string> Events;
  bool AllOnUiThread = true;
  int Done = 0;

  void Attach(RecordingOut& Out, const std::string& Tag = "") {
    Out.SetDoneDelay(0);
    Out.SetOnProgress([this, &Out, Tag](TAuComponent* Sender) {
      Check(Sender, Out);
      Events.push_back(Tag + "progress " + std::to_string(Out.Progress()));
    });
    Out.SetOnDone([this, &Out, Tag](TAuComponent* Sender) {
      Check(Sender, Out);
      EXPECT_FALSE(Out.Running());
      Events.push_back(Tag + "done");
      ++Done;
    });
    Out.SetOnThreadException([this, &Out, Tag](TAuComponent* Sender) {
      Check(Sender, Out);
      Events.push_back(Tag + "error " + Out.ErrorMessage());
    });
  }
  void Check(TAuComponent* Sender, RecordingOut& Out) {
    EXPECT_EQ(Sender, &Out);
    AllOnUiThread &= ui_thread::IsUiThread();
  }
  bool WaitDone(int Count = 1) {
    return ui_thread::ProcessUntil([&] { return Done >= Count; }, 10s);
  }
};

struct Pipeline {
  std::vector<uint8_t> Pcm;
  TMemoryStream Stream;
  MemoryIn In;
  RecordingOut Out;
  Reports Seen;
  explicit Pipeline(size_t Frames) : Pcm(CountingPcm(Frames, 2)), Stream(Pcm) {
    In.AttachStream(&Stream);
    Out.SetInput(&In);
    Seen.Attach(Out);
  }
};

// Lets the delivery thread hand over anything still in flight.
void Settle() {
  ui_thread::ProcessUntil([] { return false; }, 150ms);
}

}  // namespace

TEST(AuOutput, EmptyInputRunsPrepareOneChunkFinishDone) {
  Pipeline p(0);
  p.Out.Run();
  ASSERT_TRUE(p.Seen.WaitDone());
  EXPECT_EQ(p.Out.Calls(), std::vector<std::string>({"prepare", "chunk", "finish"}));
  EXPECT_EQ(p.Seen.Events, std::vector<std::string>({"done"}));
  EXPECT_TRUE(p.Out.ErrorMessage().empty());
  EXPECT_NE(p.Out.WorkerThread(), std::this_thread::get_id());
}

TEST(AuOutput, ReportsArriveInOrderOnTheUiThreadAndEndWithDone) {
  Pipeline p(100000);
  p.Out.ChunkBytes = 4000;  // 100 chunks: a report for every percent
  p.Out.Run();
  ASSERT_TRUE(p.Seen.WaitDone());
  Settle();
  EXPECT_EQ(p.Out.Received(), p.Pcm);
  EXPECT_TRUE(p.Seen.AllOnUiThread);
  ASSERT_GE(p.Seen.Events.size(), 2u);
  EXPECT_EQ(p.Seen.Events.back(), "done");
  int last = -1;
  for (size_t i = 0; i + 1 < p.Seen.Events.size(); ++i) {
    int value = std::stoi(p.Seen.Events[i].substr(9));
    EXPECT_GE(value, last) << "progress never goes back";
    last = value;
  }
  // A second run of the same output works and reports again.
  p.Seen.Events.clear();
  p.Out.Run();
  ASSERT_TRUE(p.Seen.WaitDone(2));
  EXPECT_EQ(p.Out.Received(), p.Pcm);
}

TEST(AuOutput, StopNoWaitFinishesInterruptedAndReportsDone) {
  Pipeline p(1000000);
  p.Out.ChunkSleepMs = 2;
  p.Out.Run();
  ASSERT_TRUE(ui_thread::ProcessUntil([&] { return p.Out.Chunks() >= 3; }, 10s));
  p.Out.Stop(true);
  ASSERT_TRUE(p.Seen.WaitDone());
  auto calls = p.Out.Calls();
  EXPECT_EQ(calls.back(), "finish-interrupted");
  EXPECT_LT(p.Out.Received().size(), p.Pcm.size());
  EXPECT_FALSE(p.Out.Interrupted()) << "cleared after the finishing step";
}

TEST(AuOutput, StopWaitingReturnsStoppedAndSilencesTheRun) {
  Pipeline p(1000000);
  p.Out.ChunkSleepMs = 1;
  p.Out.Run();
  ASSERT_TRUE(ui_thread::ProcessUntil([&] { return p.Seen.Events.size() >= 2; }, 10s));
  p.Out.Stop(false);
  EXPECT_FALSE(p.Out.Running());
  auto seen = p.Seen.Events;
  Settle();
  EXPECT_EQ(p.Seen.Events, seen) << "nothing of the stopped run arrives afterwards";
  EXPECT_EQ(p.Seen.Done, 0);
  EXPECT_EQ(p.Out.Calls().back(), "finish-interrupted");
}

TEST(AuOutput, StopRightAfterRunIsHonoured) {
  Pipeline p(1000000);
  p.Out.ChunkSleepMs = 1;
  p.Out.Run();
  p.Out.Stop(false);
  EXPECT_FALSE(p.Out.Running());
  EXPECT_LT(p.Out.Received().size(), p.Pcm.size());
  Settle();
  EXPECT_EQ(p.Seen.Done, 0);
}

TEST(AuOutput, StopWhileIdleLeavesTheNextRunWhole) {
  Pipeline p(20000);
  p.Out.Stop(false);  // returns at once
  p.Out.Stop(true);
  p.Out.Run();
  ASSERT_TRUE(p.Seen.WaitDone());
  EXPECT_EQ(p.Out.Received(), p.Pcm);
  EXPECT_EQ(p.Out.Calls().back(), "finish-interrupted") << "Finish still sees the stale stop";
}

TEST(AuOutput, RunRefusesWhenBusyOrWithoutInput) {
  Pipeline p(1000000);
  p.Out.ChunkSleepMs = 1;
  p.Out.Run();
  EXPECT_TRUE(p.Out.Running());
  try {
    p.Out.Run();
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "Component is Busy");
  }
  p.Out.Stop(false);

  RecordingOut bare;
  try {
    bare.Run();
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "Input is not assigned");
  }
  EXPECT_FALSE(bare.Running());
}

TEST(AuOutput, FailureInPrepareSkipsFinishAndStillReportsDone) {
  Pipeline p(100);
  p.Out.PrepareError = "File name is not assigned.";
  p.Out.Run();
  ASSERT_TRUE(p.Seen.WaitDone());
  EXPECT_EQ(p.Out.ErrorMessage(), "File name is not assigned.");
  EXPECT_FALSE(p.Out.Running());
  EXPECT_EQ(p.Out.Calls(), std::vector<std::string>({"prepare"}));
  EXPECT_EQ(p.Seen.Events, std::vector<std::string>({"error File name is not assigned.", "done"}));
  // The next run starts with no message.
  p.Out.PrepareError.clear();
  p.Out.Run();
  EXPECT_TRUE(p.Out.ErrorMessage().empty());
  ASSERT_TRUE(p.Seen.WaitDone(2));
}

TEST(AuOutput, FailureMidRunIsHandedOverAndDoesNotDeadlockAWaitingStop) {
  Pipeline p(100000);
  p.Out.OnChunk = [&] {
    if (p.Out.Chunks() == 5) throw std::runtime_error("disk full");
  };
  // The failure's hand-over is the first work queued after the fifth chunk
  // (that chunk's progress was posted before it).
  std::atomic<bool> handingOver{false};
  ui_thread::SetWakeCallback([&] {
    if (p.Out.Chunks() >= 5) handingOver = true;
  });
  p.Out.Run();
  // Wait without processing, so the worker sits in its hand-over, then stop.
  ASSERT_TRUE(WaitUntil([&] { return handingOver.load(); }));
  ui_thread::SetWakeCallback(nullptr);
  p.Out.Stop(false);
  EXPECT_FALSE(p.Out.Running());
  EXPECT_EQ(p.Out.ErrorMessage(), "disk full");
  Settle();
  EXPECT_EQ(p.Seen.Done, 0);
}

TEST(AuOutput, SettingTheInputWhileRunningRestartsWithIt) {
  Pipeline p(1000000);
  p.Out.ChunkSleepMs = 1;
  p.Out.Run();
  ASSERT_TRUE(ui_thread::ProcessUntil([&] { return p.Out.Chunks() >= 2; }, 10s));
  auto other = CountingPcm(3000, 2);
  std::reverse(other.begin(), other.end());
  TMemoryStream otherStream(other);
  MemoryIn otherIn;
  otherIn.AttachStream(&otherStream);
  p.Out.ChunkSleepMs = 0;
  p.Out.SetInput(&otherIn);
  EXPECT_EQ(p.Out.Input(), &otherIn);
  ASSERT_TRUE(p.Seen.WaitDone());
  EXPECT_EQ(p.Out.Received(), other);
  EXPECT_EQ(p.Seen.Done, 1) << "the first run was stopped silently";
}

TEST(AuOutput, DelayAcceptsUpToOneHundredMilliseconds) {
  RecordingOut out;
  EXPECT_EQ(out.Delay(), 0);
  out.SetDelay(100);
  EXPECT_EQ(out.Delay(), 100);
  out.SetDelay(101);
  EXPECT_EQ(out.Delay(), 100);
  out.SetDelay(3);
  EXPECT_EQ(out.Delay(), 3);
}

TEST(AuOutput, UnknownSizeKeepsProgressAtMinusOne) {
  Pipeline p(30000);
  p.In.AnnouncedSize = -1;
  p.Out.ChunkBytes = 1000;
  p.Out.Run();
  ASSERT_TRUE(p.Seen.WaitDone());
  EXPECT_EQ(p.Out.Received(), p.Pcm);
  EXPECT_EQ(p.Seen.Events, std::vector<std::string>({"progress -1", "done"}));
}

TEST(AuOutput, TwoOutputsShareTheDeliveryThreadInOrder) {
  Pipeline a(200000), b(200000);
  a.Seen.Attach(a.Out, "a ");
  b.Seen.Attach(b.Out, "b ");
  std::vector<std::string> all;
  for (auto* p : {&a, &b}) {
    auto progress = p->Out.OnProgress();
    p->Out.SetOnProgress([&, progress](TAuComponent* s) {
      progress(s);
      all.push_back(s == &a.Out ? "a" : "b");
    });
  }
  a.Out.ChunkBytes = b.Out.ChunkBytes = 4000;
  a.Out.Run();
  b.Out.Run();
  ASSERT_TRUE(ui_thread::ProcessUntil([&] { return a.Seen.Done && b.Seen.Done; }, 20s));
  for (auto* p : {&a, &b}) {
    EXPECT_EQ(p->Out.Received(), p->Pcm);
    EXPECT_EQ(p->Seen.Events.back().substr(2), "done");
  }
  EXPECT_GT(std::count(all.begin(), all.end(), "a"), 10);
  EXPECT_GT(std::count(all.begin(), all.end(), "b"), 10);
}

TEST(AuOutput, DoneDelayHoldsBackTheCompletionReport) {
  Pipeline p(10);
  p.Out.SetDoneDelay(300);
  auto start = std::chrono::steady_clock::now();
  p.Out.Run();
  ASSERT_TRUE(p.Seen.WaitDone());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

TEST(AuOutput, LastOutputEndsTheDeliveryThread) {
  {
    RecordingOut out;
    EXPECT_NE(TEventHandler::Instance(), nullptr);
  }
  EXPECT_EQ(TEventHandler::Instance(), nullptr);
}

TEST(AuOutput, DestroyingARunningOutputEndsItsWorkerFirst) {
  auto pcm = CountingPcm(1000000, 2);
  TMemoryStream stream(pcm);
  MemoryIn in;
  in.AttachStream(&stream);
  {
    RecordingOut out;
    out.ChunkSleepMs = 1;
    out.SetInput(&in);
    out.Run();
    ASSERT_TRUE(ui_thread::ProcessUntil([&] { return in.Position() > 0; }, 10s));
  }
  EXPECT_EQ(TEventHandler::Instance(), nullptr);
}

// An output whose destructor forgets BeforeDestruction() would leave its
// worker to use members already freed: the program stops at once instead.
TEST(AuOutputDeathTest, ADestructorWithoutBeforeDestructionAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Forgetful : TAuOutput {
    Forgetful() : TAuOutput(nullptr) {}
    void Prepare() override {}
    bool OutputChunk(bool) override { return false; }
    void Finish() override {}
  };
  MemoryIn in;
  EXPECT_DEATH(
      {
        Forgetful forgetful;
        forgetful.SetInput(&in);
        forgetful.Run();
      },
      "destroyed without BeforeDestruction");
}

TEST(AuOutput, AHandlerMayFreeTheLastOutput) {
  auto pcm = CountingPcm(100, 2);
  TMemoryStream stream(pcm);
  MemoryIn in;
  in.AttachStream(&stream);
  auto* out = new RecordingOut;
  out->SetDoneDelay(0);
  out->SetInput(&in);
  bool freed = false;
  out->SetOnDone([&](TAuComponent*) {
    delete out;
    freed = true;
  });
  out->Run();
  ASSERT_TRUE(ui_thread::ProcessUntil([&] { return freed; }, 10s));
  ui_thread::ProcessMessages();
  EXPECT_EQ(TEventHandler::Instance(), nullptr);
}

// Regression: the failure hand-over cleared Running before the worker had
// ended its run, so a Run from OnThreadException went on to Finish a run
// that never prepared, and the second run's report was lost.
TEST(AuOutput, RunFromTheFailureHandlerIsRefusedUntilTheRunHasEnded) {
  Pipeline p(20000);
  p.Out.PrepareError = "no destination";
  std::string refusal;
  p.Out.SetOnThreadException([&](TAuComponent*) {
    try {
      p.Out.Run();
    } catch (const EAuException& e) {
      refusal = e.what();
    }
  });
  p.Out.Run();
  ASSERT_TRUE(p.Seen.WaitDone());
  EXPECT_EQ(refusal, "Component is Busy");
  EXPECT_EQ(p.Out.Calls(), std::vector<std::string>({"prepare"})) << "no Finish after a failed Prepare";
  // Right after the report the output takes the next run, which reports once.
  p.Out.PrepareError.clear();
  p.In.ForceEnd();
  p.Out.Run();
  ASSERT_TRUE(p.Seen.WaitDone(2));
  Settle();
  EXPECT_EQ(p.Seen.Done, 2);
  EXPECT_EQ(p.Out.Received().size(), p.Pcm.size());
}

// Regression: a read range starting past the end delivered the whole input
// with a negative size.
TEST(AuFileIn, RangePastTheEndDeliversNothing) {
  std::vector<uint8_t> pcm = CountingPcm(5000, 2);
  TMemoryStream stream(pcm);
  MemoryIn in;
  in.AttachStream(&stream);
  for (auto [start, end] : {std::pair<int64_t, int64_t>{6000, -1}, {5000, -1}, {300, 200}}) {
    in.SetStartSample(start);
    in.SetEndSample(end);
    in.BeginRead();
    uint8_t* buffer = nullptr;
    uint32_t bytes = 4096;
    in.GetData(buffer, bytes);
    EXPECT_EQ(bytes, 0u) << start << ".." << end;
    EXPECT_EQ(in.Size(), 0) << start;
    EXPECT_EQ(in.Position(), 0) << start;
    in.EndRead();
  }
}
