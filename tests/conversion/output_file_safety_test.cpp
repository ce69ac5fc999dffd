// The one rule of every file output: an existing file is never destroyed by
// a run that does not finish, a set-up failure leaves no file, a failed or
// stopped run leaves its partial file only where no file stood, and what was
// written is on disk, with a header that states it, when the failure is
// reported.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "audio/lame/mp3_out.h"
#include "audio/wave/wave_out.h"
#include "audio/winmedia/wma_out.h"
#include "platform/ui_thread.h"
#include "support/audio_fixtures.h"
#include "support/memory_in.h"
#include "support/peers.h"
#include "support/temp_dir.h"
#include "support/wait.h"

using namespace tonvale;
using namespace tonvale::test;
namespace fs = std::filesystem;

namespace {

enum class Kind { Wav, Mp3, Wma };
const Kind kKinds[] = {Kind::Wav, Kind::Mp3, Kind::Wma};
const char* Name(Kind K) { return K == Kind::Wav ? "wav" : K == Kind::Mp3 ? "mp3" : "wma"; }

std::unique_ptr<TAuFileOut> MakeOutput(Kind K) {
  switch (K) {
    case Kind::Wav: return std::make_unique<TWaveOut>(nullptr);
    case Kind::Mp3: return std::make_unique<TMP3Out>(nullptr);
    default: {
      auto out = std::make_unique<TWMAOut>(nullptr);
      out->CodecIndex = 0;
      out->FormatIndex = 29;
      return out;
    }
  }
}

// Makes the output refuse its set-up: a WMA format beyond the list, 7-bit
// PCM for MP3, 8-bit PCM for IMA ADPCM.
void BreakSetUp(Kind K, TAuFileOut& Out, MemoryIn& In) {
  switch (K) {
    case Kind::Wav:
      static_cast<TWaveOut&>(Out).SetWavType(wtDVIADPCM);
      In.Bits = 8;
      In.Chans = 1;
      break;
    case Kind::Mp3: In.Bits = 7; break;
    case Kind::Wma: static_cast<TWMAOut&>(Out).FormatIndex = 500; break;
  }
}

struct OutputFiles : ::testing::Test {
  TempDir Dir;
  std::string Source = Dir.File("source.raw");
  MemoryIn In;
  OutputFiles() {
    WriteBytes(Source, CountingPcm(44100, 2));
    In.SetFileName(Source);
  }
  std::string Target(Kind K) { return Dir.File(std::string("out.") + Name(K)); }
  // Temporary files left over.
  std::vector<std::string> Leftovers() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir.Path()))
      if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
    return names;
  }
  std::string Run(TAuFileOut& Out, const std::string& Path) {
    In.ForceEnd();  // a failed run leaves the input's read open, as the driver knows
    Out.SetInput(&In);
    Out.SetFileName(Path);
    EXPECT_TRUE(RunToEnd(Out));
    return Out.ErrorMessage();
  }
};

const std::vector<uint8_t> kOld = {'O', 'L', 'D'};

}  // namespace

TEST_F(OutputFiles, ExistingFileSurvivesSetUpFailureAndNoFileIsCreated) {
  for (Kind k : kKinds) {
    for (bool existed : {true, false}) {
      SCOPED_TRACE(std::string(Name(k)) + (existed ? " over an existing file" : ""));
      In.Bits = 16;
      In.Chans = 2;
      const std::string path = Target(k);
      fs::remove(path);
      if (existed) WriteBytes(path, kOld);
      auto out = MakeOutput(k);
      BreakSetUp(k, *out, In);
      EXPECT_FALSE(Run(*out, path).empty());
      if (existed)
        EXPECT_EQ(ReadBytes(path), kOld);
      else
        EXPECT_FALSE(fs::exists(path));
      EXPECT_TRUE(Leftovers().empty());
    }
  }
}

TEST_F(OutputFiles, FailingInputKeepsTheExistingFileOrLeavesTheWrittenPart) {
  In.FailAfter = 100000;  // inside the WAV writer's first write batch
  for (Kind k : kKinds) {
    for (bool existed : {true, false}) {
      SCOPED_TRACE(std::string(Name(k)) + (existed ? " over an existing file" : ""));
      const std::string path = Target(k);
      fs::remove(path);
      if (existed) WriteBytes(path, kOld);
      auto out = MakeOutput(k);
      EXPECT_EQ(Run(*out, path), "Read error");
      EXPECT_EQ(out->ErrorDetail(), "Input/output error");
      EXPECT_TRUE(Leftovers().empty());
      if (existed) {
        EXPECT_EQ(ReadBytes(path), kOld);
        continue;
      }
      const auto bytes = ReadBytes(path);
      if (k == Kind::Wav) {
        // Everything delivered before the failure is there, and the header says so.
        ASSERT_GE(bytes.size(), 44u + 90000u);
        EXPECT_EQ(ProbeFields(path)["codec_name"], "pcm_s16le");
        const uint32_t stated = bytes[40] | bytes[41] << 8 | bytes[42] << 16 | uint32_t(bytes[43]) << 24;
        EXPECT_EQ(stated, bytes.size() - 44);
      } else {
        EXPECT_GT(bytes.size(), 0u);
      }
    }
  }
}

TEST_F(OutputFiles, FinishedRunReplacesTheFileKeepingItsPermissions) {
  for (Kind k : kKinds) {
    SCOPED_TRACE(Name(k));
    const std::string path = Target(k);
    WriteBytes(path, kOld);
    ::chmod(path.c_str(), 0640);
    auto out = MakeOutput(k);
    EXPECT_EQ(Run(*out, path), "");
    EXPECT_EQ(ProbeFields(path)["codec_name"], k == Kind::Wav ? "pcm_s16le" : k == Kind::Mp3 ? "mp3" : "wmav2");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(Leftovers().empty());
  }
}

TEST_F(OutputFiles, StoppedRunKeepsTheExistingFile) {
  In.ChunkLimit = 4096;
  for (Kind k : kKinds) {
    SCOPED_TRACE(Name(k));
    const std::string path = Target(k);
    WriteBytes(path, kOld);
    auto out = MakeOutput(k);
    bool done = false;
    out->SetDoneDelay(0);
    out->SetOnDone([&](TAuComponent*) { done = true; });
    out->SetInput(&In);
    out->SetFileName(path);
    out->SetDelay(50);
    out->Run();
    ASSERT_TRUE(WaitUntil([&] { return In.Position() > 0; }));
    out->Stop(true);
    ASSERT_TRUE(ui_thread::ProcessUntil([&] { return done; }, std::chrono::seconds(20)));
    EXPECT_EQ(ReadBytes(path), kOld);
    EXPECT_TRUE(Leftovers().empty());
  }
}

TEST_F(OutputFiles, HeldMp3TakesItsNameOnlyWhenCommitted) {
  TMP3Out out(nullptr);
  out.HoldFinishedFile = true;
  const std::string path = Target(Kind::Mp3);
  WriteBytes(path, kOld);
  EXPECT_EQ(Run(out, path), "");
  EXPECT_EQ(ReadBytes(path), kOld) << "still held";
  const std::string held = out.WrittenFileName();
  EXPECT_NE(held, path);
  EXPECT_EQ(fs::path(held).filename().string().rfind(".out.mp3.tonvale-", 0), 0u) << held;
  // A failed completion (say, the tag could not be written) keeps the old file.
  EXPECT_EQ(out.CommitFile(false), "");
  EXPECT_EQ(ReadBytes(path), kOld);
  EXPECT_FALSE(fs::exists(held));
  // Regression: over a read-only file the held file was read-only too, so
  // its tag could not be written (as anyone but root).
  ::chmod(path.c_str(), 0444);
  EXPECT_EQ(Run(out, path), "");
  struct stat st {};
  ASSERT_EQ(::stat(out.WrittenFileName().c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u) << "the held file stays writable";
  EXPECT_EQ(out.CommitFile(true), "");
  EXPECT_EQ(ProbeFields(path)["codec_name"], "mp3");
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u) << "and takes the old file's permissions with its name";
  EXPECT_TRUE(Leftovers().empty());
}
