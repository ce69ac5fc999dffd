#include "conversion/run_plan.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "conversion/conversion_modes.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using namespace tonvale::test;
namespace fs = std::filesystem;

namespace {

// One tree for every case; the plan looks at names and files, never at audio.
struct Tree {
  TempDir Dir;
  Tree() {
    for (const char* f :
         {"song.wav", "song.WAV", "y.mp3", "sl/A/x.wav", "sl/B/x.wav", "mix/sub/x.wav", "drop/a.wav", "drop/B.WAV",
          "drop/c.mp3", "drop/deep/d.wav", "tree/t.wav", "tree/out/old.wav", "fold/a.wav", "fold/A.wav"}) {
      fs::create_directories(fs::path(Dir.File(f)).parent_path());
      WriteText(Dir.File(f), "x");
    }
    fs::create_directories(Dir.File("osl/A"));
    fs::create_directory_symlink("A", Dir.File("osl/B"));
    fs::create_directories(Dir.File("out"));
  }
  std::string Relative(const std::string& Path) const { return fs::path(Path).lexically_relative(Dir.Path()).string(); }
};

struct Case {
  const char* Name;
  std::vector<std::string> Sources;
  TConversionMode Mode;
  const char* Target;
  bool OtherTypesRefused;
  const char* Out;
  std::vector<std::string> Outputs;  // planned, relative to the tree
  std::vector<std::string> Refused;  // "source: reason", relative
  bool Folds = false;                // the output folder folds letter case
};

}  // namespace

TEST(RunPlan, CollisionsRepeatsTypesAndTrees) {
  Tree t;
  const Case cases[] = {
      {"two spellings of one output",
       {"song.wav", "song.WAV"},
       cmWavToMp3,
       "",
       false,
       "out",
       {"out/song.mp3"},
       {"song.WAV: its output"}},
      {"one folder through a link", {"sl"}, cmNone, "mp3", false, "osl", {"osl/A/x.mp3"}, {"sl/B/x.wav: its output"}},
      {"a source reached twice",
       {"mix", "mix/sub", "mix/./sub", "mix/sub/x.wav"},
       cmNone,
       "mp3",
       false,
       "out",
       {"out/sub/x.mp3"},
       {"mix/sub/x.wav: given twice", "mix/./sub/x.wav: given twice", "mix/sub/x.wav: given twice"}},
      {"the output folder inside the tree", {"tree"}, cmNone, "mp3", false, "tree/out", {"tree/out/t.mp3"}, {}},
      {"a drop: other types left out, folders walked in any case",
       {"drop", "y.mp3"},
       cmWavToWma,
       "",
       true,
       "out",
       {"out/B.wma", "out/a.wma", "out/deep/d.wma"},
       {"y.mp3: not a WAV file"}},
      {"chosen in the dialog: another known type is refused as the command line does",
       {"y.mp3"},
       cmWavToWma,
       "",
       false,
       "out",
       {},
       {"y.mp3: not a WAV file"}},
      {"already the target type",
       {"y.mp3", "song.wav"},
       cmNone,
       "mp3",
       false,
       "out",
       {"out/song.mp3"},
       {"y.mp3: it is already a .mp3 file"}},
      {"names apart only where case is not folded",
       {"fold"},
       cmNone,
       "mp3",
       false,
       "out",
       {"out/A.mp3", "out/a.mp3"},
       {}},
      {"names that differ in case on vfat",
       {"fold"},
       cmNone,
       "mp3",
       false,
       "out",
       {"out/A.mp3"},
       {"fold/a.wav: its output"},
       true},
  };
  for (const Case& c : cases) {
    TPlanRequest request;
    for (const auto& s : c.Sources) request.Sources.push_back(t.Dir.File(s));
    request.Mode = c.Mode;
    request.Target = c.Target;
    request.Recursive = true;
    request.OtherTypesRefused = c.OtherTypesRefused;
    request.OutputFolder = t.Dir.File(c.Out);
    if (c.Folds) request.FoldsCase = [](const std::string&) { return true; };
    const TRunPlan plan = PlanRun(request);
    std::vector<std::string> outputs, refused;
    for (const auto& f : plan.Files) {
      outputs.push_back(t.Relative(f.Output));
      EXPECT_EQ(f.OutputFolder, FolderPart(f.Output)) << c.Name;
    }
    for (const auto& r : plan.Refused) refused.push_back(t.Relative(r.Source) + ": " + r.Message);
    EXPECT_EQ(outputs, c.Outputs) << c.Name;
    ASSERT_EQ(refused.size(), c.Refused.size()) << c.Name;
    for (size_t i = 0; i < refused.size(); ++i)
      EXPECT_EQ(refused[i].rfind(c.Refused[i], 0), 0u) << c.Name << ": " << refused[i];
  }
}

// The test of a folder for case folding: on this file system none, whether
// an entry can be looked up or the folder is empty (its probe file gone after).
TEST(RunPlan, CaseFoldingIsLookedUpNotAssumed) {
  Tree t;
  EXPECT_FALSE(FoldsLetterCase(t.Dir.File("fold"), false));
  EXPECT_FALSE(FoldsLetterCase(t.Dir.File("out"), true));
  EXPECT_TRUE(fs::is_empty(t.Dir.File("out")));
}

// dots/L/../x.wav with L -> real/sub is real/x.wav, not a second dots/x.wav.
TEST(RunPlan, DotDotAfterALinkWasTakenAsText) {
  Tree t;
  fs::create_directories(t.Dir.File("real/sub"));
  fs::create_directory_symlink("../real/sub", t.Dir.File("sl/L"));
  WriteText(t.Dir.File("real/x.wav"), "x");
  WriteText(t.Dir.File("sl/x.wav"), "x");
  TPlanRequest request;
  request.Sources = {t.Dir.File("sl/L/../x.wav"), t.Dir.File("sl/x.wav")};
  request.Target = "mp3";
  request.SameAsInputFolder = true;
  EXPECT_EQ(PlanRun(request).Files.size(), 2u);
}
