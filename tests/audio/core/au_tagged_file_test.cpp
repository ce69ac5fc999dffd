#include <gtest/gtest.h>

#include <thread>

#include "audio/core/au_input.h"
#include "audio/core/au_tagged_file_in.h"
#include "audio/core/au_tagged_file_out.h"
#include "platform/ui_thread.h"
#include "support/memory_in.h"
#include "support/wait.h"

using namespace tonvale;
using tonvale::test::WaitUntil;
using namespace std::chrono_literals;

namespace {

// A tagged output whose every chunk reads its own ID3v2 set.
class TagReadingOut : public TAuTaggedFileOut {
 public:
  TagReadingOut() : TAuTaggedFileOut(nullptr) {}
  ~TagReadingOut() override { BeforeDestruction(); }
  std::atomic<int> Chunks{0};

 protected:
  void Prepare() override { Input()->BeginRead(); }
  bool OutputChunk(bool Abort) override {
    if (Abort) return false;
    ++Chunks;
    std::u16string title = Id3v2Tags().Title();
    std::this_thread::sleep_for(1ms);
    return !title.empty();
  }
  void Finish() override { Input()->EndRead(); }
};

class TaggedIn : public TAuTaggedFileIn {
 public:
  TaggedIn() : TAuTaggedFileIn(nullptr) {}
  ~TaggedIn() override { BeforeDestruction(); }

 protected:
  void OpenSource() override {}
  void CloseSource() override {}
  bool SeekTo(int64_t&) override { return false; }
  void ReadData(uint8_t*& Buffer, uint32_t& Bytes) override {
    Buffer = nullptr;
    Bytes = 0;
  }
};

}  // namespace

TEST(AuTaggedFile, NewComponentsHaveThreeEmptySets) {
  TaggedIn in;
  TagReadingOut out;
  EXPECT_EQ(in.Id3v1Tags().Title(), "");
  EXPECT_EQ(in.Id3v2Tags().Title(), u"");
  EXPECT_EQ(in.APEv2Tags().Title(), u"");
  EXPECT_EQ(out.Id3v1Tags().Genre(), "Blues");
  EXPECT_EQ(out.Id3v2Tags().Artist(), u"");
  EXPECT_EQ(out.APEv2Tags().BarCode(), "");
}

TEST(AuTaggedFile, AssignedSetIsCopiedNotShared) {
  TagReadingOut out;
  TId3v2Tags* tags = new TId3v2Tags;
  tags->SetTitle(u"Title");
  TId3v2Tags* own = &out.Id3v2Tags();
  out.SetId3v2Tags(*tags);
  EXPECT_EQ(&out.Id3v2Tags(), own);
  tags->SetTitle(u"Other");
  delete tags;
  EXPECT_EQ(out.Id3v2Tags().Title(), u"Title");
}

TEST(AuTaggedFile, DestroyingARunningOutputEndsItsWorkerBeforeItsSets) {
  auto pcm = test::CountingPcm(100, 2);
  TMemoryStream stream(pcm);
  test::MemoryIn in;
  in.AttachStream(&stream);
  auto* out = new TagReadingOut;
  out->Id3v2Tags().SetTitle(u"keeps the run going");
  out->SetInput(&in);
  out->Run();
  ASSERT_TRUE(WaitUntil([&] { return out->Chunks >= 3; }));
  delete out;  // under the sanitizers a read of a freed set would be reported
  EXPECT_EQ(TEventHandler::Instance(), nullptr);
}
