// tonvale-cli: the batch converter on the command line.

#include <signal.h>

#include <sched.h>

#include <algorithm>
#include <csignal>
#include <deque>
#include <filesystem>
#include <memory>
#include <thread>
#include <cstdio>
#include <map>

#include "audio/winmedia/wma_out.h"
#include "cli/cli_options.h"
#include "cli/run_plan.h"
#include "cli/terminal_view.h"
#include "conversion/batch_driver.h"
#include "conversion/conversion_modes.h"
#include "conversion/tag_preparation.h"
#include "platform/ui_thread.h"
#include "settings/settings.h"
#include "settings/tag_values.h"

using namespace tonvale;

namespace {

volatile std::sig_atomic_t gSignal = 0;

void OnSignal(int Signal) { gSignal = Signal; }

// SIGINT and SIGTERM stop the run. Without SA_RESTART a blocking read (the
// overwrite question) returns at once.
void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

void ApplySettings(const TCliOptions& O) {
  if (O.OutputFolder) Settings.OutputFolder = *O.OutputFolder;
  if (O.SameFolder) Settings.SameAsInputFolder = true;
  if (O.Bitrate) {
    static const int rates[] = {48, 56, 64, 80, 96, 128, 192, 256, 320};
    for (int i = 0; i < 9; ++i)
      if (rates[i] == *O.Bitrate) Settings.ConstantBitRate = i;
  }
  if (O.Vbr) Settings.IsSelectVBR = true;
  if (O.VbrQuality) Settings.VBRQuality = *O.VbrQuality;
  if (O.VbrMin) Settings.BitRate = *O.VbrMin;
  if (O.VbrMax) Settings.MaxBitRate = *O.VbrMax;
  if (O.VbrHeader) Settings.IsVBRHead = true;
  if (O.ChannelMode) {
    static const std::map<std::string, int> modes = {{"stereo", 0}, {"joint", 1}, {"dual", 2}, {"mono", 3}};
    Settings.StereoMode = modes.at(*O.ChannelMode);
  }
  if (O.WmaCodec) Settings.CodecIndex = *O.WmaCodec;
  if (O.WmaFormat) Settings.FormatIndex = *O.WmaFormat;
}

bool HasTagOptions(const TCliOptions& O) {
  return O.Title || O.Artist || O.Album || O.Year || O.Genre || O.Track || O.Comment;
}

// The tag editor, confirmed with the given values over the prefilled ones.
void ApplyTagOptions(const TCliOptions& O) {
  if (O.Title) TagValues.TagTitle = *O.Title;
  if (O.Artist) TagValues.TagArtist = *O.Artist;
  if (O.Album) TagValues.TagAlbum = *O.Album;
  if (O.Year) TagValues.TagYear = *O.Year;
  if (O.Genre) TagValues.TagGenreIndex = GenreNameToIndex(*O.Genre);
  if (O.Track) TagValues.TagTrack = *O.Track;
  if (O.Comment) TagValues.TagComment = *O.Comment;
  Settings.IsShowTagEditor = true;
}

int ListWmaFormats() {
  TWMAOut out(nullptr);
  for (size_t c = 0; c < out.Codecs().size(); ++c) {
    std::printf("codec %zu: %s\n", c, out.Codecs()[c].c_str());
    const auto& formats = out.Formats(static_cast<uint16_t>(c));
    for (size_t f = 0; f < formats.size(); ++f) std::printf("  %3zu  %s\n", f, formats[f].c_str());
  }
  return 0;
}

// Files converted at the same time by default: the cores this process may run on.
int DefaultJobs() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

// Runs one batch of files of one source type on up to Jobs drivers, each
// with its own components, taking files from one queue.
void RunBatch(int Mode, const std::vector<std::string>& Files, const TCliOptions& O, const TRunPlan& Plan,
              int Jobs, TTerminalView& View) {
  try {
    PrepareTagValues(Mode, Files);
  } catch (const std::exception& e) {
    for (const auto& f : Files) View.Fail(f, e.what());
    return;
  }
  if (HasTagOptions(O)) ApplyTagOptions(O);
  // The batch's tag values: each file starts from them (a WMA-to-MP3 file
  // lays its own tags over them).
  const TTagValues batchTags = TagValues;
  std::deque<std::string> queue(Files.begin(), Files.end());
  std::vector<std::unique_ptr<IBatchView>> views;
  std::vector<std::unique_ptr<TBatchDriver>> lanes;
  const int count = std::max(1, std::min<int>(Jobs, static_cast<int>(Files.size())));
  for (int i = 0; i < count; ++i) {
    views.push_back(View.Lane(i));
    auto driver = std::make_unique<TBatchDriver>(*views.back(), Files);
    driver->Mode = Mode;
    driver->SetDoneDelay(0);
    driver->NextFile = [&queue, &batchTags](std::string& Source) {
      if (queue.empty()) return false;
      Source = queue.front();
      queue.pop_front();
      TagValues = batchTags;
      return true;
    };
    driver->OutputFolderFor = [&Plan](const std::string& Source) {
      const TPlannedFile* f = Plan.Find(Source);
      return f ? f->OutputFolder : Settings.OutputFolder;
    };
    // The options are the batch's tags also where each file brings its own.
    if (HasTagOptions(O)) driver->OnSourceTags = [&O] { ApplyTagOptions(O); };
    driver->StopRequested = [] { return gSignal != 0; };
    lanes.push_back(std::move(driver));
  }
  auto open = [&] {
    return std::any_of(lanes.begin(), lanes.end(), [](const auto& L) { return !L->Closed(); });
  };
  while (open()) {
    if (gSignal)
      for (auto& l : lanes) l->bStopClick();
    ui_thread::WaitAndProcess(std::chrono::milliseconds(100));
  }
  for (const auto& f : queue) View.NotStarted(f);
}

// What the run would do, written instead of doing it.
void PrintDryRun(const TRunPlan& Plan, bool Json) {
  std::string json = "{\"dry run\": true, \"files\": [";
  for (size_t i = 0; i < Plan.Files.size(); ++i) {
    const TPlannedFile& f = Plan.Files[i];
    std::error_code ec;
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(f.Output, ec));
    if (!Json) {
      std::printf("%s\t%s\t%s%s\n", f.Source.c_str(), ModeName(f.Mode).c_str(), f.Output.c_str(),
                  exists ? "\t(exists)" : "");
      continue;
    }
    json += std::string(i ? ", " : "") + "{\"source\": " + JsonText(f.Source) + ", \"mode\": " +
            JsonText(ModeName(f.Mode)) + ", \"output\": " + JsonText(f.Output) + ", \"exists\": " + (exists ? "true" : "false") + "}";
  }
  if (Json) std::printf("%s]}\n", json.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  TCliOptions options;
  if (auto exitCode = ParseCommandLine(argc, argv, options)) return *exitCode;
  ui_thread::Initialise();
  try {
    if (options.ListWmaFormats) return ListWmaFormats();
    LoadSettings();
    ApplySettings(options);
    if (!CheckOutputFolder()) {
      std::fprintf(stderr, "%s\n", kMissingOutputFolder);
      return 2;
    }
    InstallSignalHandlers();
    TTerminalView view(options.Overwrite, options.Quiet, options.Json,
                       [] { return gSignal != 0; });
    const TRunPlan plan = PlanRun(options.Files, options.Target, options.Recursive, view);
    if (options.DryRun) {
      PrintDryRun(plan, options.Json);
      return view.Failed() > 0 ? 1 : 0;
    }
    // The folders of a kept tree are made as needed.
    for (const auto& f : plan.Files) {
      std::error_code ec;
      std::filesystem::create_directories(f.OutputFolder, ec);
    }
    const int jobs = options.Jobs > 0 ? options.Jobs : DefaultJobs();
    view.SetTotal(static_cast<int>(plan.Files.size()));
    view.SetLanes(jobs);
    for (const auto& [mode, files] : plan.Batches) {
      if (gSignal) {
        for (const auto& f : files) view.NotStarted(f);
        continue;
      }
      RunBatch(mode, files, options, plan, jobs, view);
    }
    view.PrintSummary();
    if (gSignal) return 128 + gSignal;
    return view.Failed() > 0 ? 1 : 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tonvale-cli: %s\n", e.what());
    return 1;
  }
}
