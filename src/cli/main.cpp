// tonvale-cli: the batch converter on the command line.

#include <signal.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "audio/winmedia/wma_out.h"
#include "cli/cli_options.h"
#include "cli/terminal_view.h"
#include "conversion/batch_run.h"
#include "conversion/conversion_modes.h"
#include "conversion/run_plan.h"
#include "conversion/run_values.h"
#include "conversion/tag_preparation.h"
#include "platform/text.h"
#include "platform/ui_thread.h"
#include "settings/settings.h"
#include "settings/tag_values.h"

using namespace tonvale;

namespace {

volatile std::sig_atomic_t gSignal = 0;

void OnSignal(int Signal) { gSignal = Signal; }

// SIGINT, SIGTERM and SIGHUP (a closed terminal) stop the run. Without
// SA_RESTART a blocking read (the overwrite question) returns at once.
// SIGPIPE and SIGXFSZ are ignored: the write fails instead (EPIPE, EFBIG) and
// the file fails cleanly, its temporary removed, rather than the process
// dying with its hidden files left behind.
void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

// What is wrong with the output folder, or empty when nothing is.
std::string OutputFolderProblem(const TSettings& S, bool DryRun) {
  if (S.SameAsInputFolder) return "";
  const std::string& folder = S.OutputFolder;
  std::error_code ec;
  // The default folder is made when first needed (a dry run makes nothing).
  if (DryRun && folder == DefaultSettings().OutputFolder && !std::filesystem::exists(folder, ec)) return "";
  if (!DryRun && CheckOutputFolder(S)) {
    if (::access(folder.c_str(), W_OK | X_OK) == 0) return "";
    return folder + ": the output folder cannot be written (" + ErrorText(errno) + ")";
  }
  if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec))
    return folder + ": not a folder";
  if (!std::filesystem::is_directory(folder, ec)) return folder + ": " + kMissingOutputFolder;
  return "";
}

// A WMA codec or format outside this runtime's lists fails every file alike:
// said once, before the run.
std::string WmaSettingsProblem(const TSettings& S, const TCliOptions& O) {
  if (S.VBR) return "";  // the writer says why a VBR format cannot be had
  TWMAOut out(nullptr);
  const int codecs = static_cast<int>(out.Codecs().size());
  const std::string where = "; see --list-wma-formats";
  if (S.CodecIndex < 0 || S.CodecIndex >= codecs)
    return (O.WmaCodec ? "--wma-codec " : "the stored WMA codec ") + std::to_string(S.CodecIndex) +
           " is not one of 0 to " + std::to_string(codecs - 1) + where;
  const int formats = static_cast<int>(out.Formats(static_cast<uint16_t>(S.CodecIndex)).size());
  if (S.FormatIndex < 0 || S.FormatIndex >= formats)
    return (O.WmaFormat ? "--wma-format " : "the stored WMA format ") + std::to_string(S.FormatIndex) +
           " is not one of codec " + std::to_string(S.CodecIndex) + "'s formats, 0 to " + std::to_string(formats - 1) +
           where;
  return "";
}

// The settings of this run: the stored ones with the options over them.
TSettings RunSettings(const TCliOptions& O) {
  TSettings s = Settings;
  if (O.OutputFolder) s.OutputFolder = *O.OutputFolder;
  if (O.SameFolder) s.SameAsInputFolder = true;
  if (O.Bitrate) {
    static const int rates[] = {48, 56, 64, 80, 96, 128, 192, 256, 320};
    for (int i = 0; i < 9; ++i)
      if (rates[i] == *O.Bitrate) s.ConstantBitRate = i;
  }
  if (O.Vbr) s.IsSelectVBR = true;
  if (O.VbrQuality) s.VBRQuality = *O.VbrQuality;
  if (O.VbrMin) s.BitRate = *O.VbrMin;
  if (O.VbrMax) s.MaxBitRate = *O.VbrMax;
  if (O.VbrHeader) s.IsVBRHead = true;
  if (O.NoId3v2) s.WriteID3v2 = false;
  if (O.ChannelMode) {
    static const std::map<std::string, int> modes = {{"stereo", 0}, {"joint", 1}, {"dual", 2}, {"mono", 3}};
    s.StereoMode = modes.at(*O.ChannelMode);
  }
  if (O.WmaCodec) s.CodecIndex = *O.WmaCodec;
  if (O.WmaFormat) s.FormatIndex = *O.WmaFormat;
  return s;
}

// The tag options: the tag editor's values, confirmed over the prepared ones.
TTagOverrides TagOverrides(const TCliOptions& O) {
  TTagOverrides t;
  t.Title = O.Title;
  t.Artist = O.Artist;
  t.Album = O.Album;
  t.Year = O.Year;
  if (O.Genre) t.GenreIndex = GenreNameToIndex(*O.Genre);
  t.Track = O.Track;
  t.Comment = O.Comment;
  return t;
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

// A stop signal arrived, or standard output was closed (a reader such as
// head went away): the run stops as for SIGTERM.
bool Stopping(const TTerminalView& View) { return gSignal != 0 || View.OutputClosed(); }

// Runs one batch of files of one source type on up to Lanes drivers.
void RunBatch(int Mode, const std::vector<std::string>& Files, const TRunValues& Base, const TRunPlan& Plan, int Lanes,
              TTerminalView& View) {
  auto values = std::make_shared<TRunValues>(Base);
  try {
    values->Tags = PreparedTagValues(Mode, Files);
  } catch (const std::exception& e) {
    for (const auto& f : Files) View.Fail(f, e.what());
    return;
  }
  values->Overrides.ApplyTo(values->Tags);
  std::vector<std::unique_ptr<IBatchView>> views;
  TBatchRun run(Files, values, Lanes, [&](int Lane) -> IBatchView& {
    views.push_back(View.Lane(Lane));
    return *views.back();
  });
  run.SetDoneDelay(0);
  run.Start(
      Mode,
      [&Plan, &Base](const std::string& Source) { return Plan.OutputFolderOf(Source, Base.Settings.OutputFolder); },
      [&View] { return Stopping(View); });
  while (!run.Closed()) {
    if (Stopping(View)) run.Stop();
    ui_thread::WaitAndProcess(std::chrono::milliseconds(100));
  }
  for (const auto& f : run.NotStarted()) View.NotStarted(f);
}

// What the run would do, written instead of doing it: every file the run
// would list, with the outcome it would give and why.
void PrintDryRun(const TRunPlan& Plan, TOverwritePolicy Overwrite, bool Json) {
  struct TLine {
    std::string Source, Mode, Output, Outcome, Reason;
    bool Exists;
  };
  std::vector<TLine> lines;
  for (const TFileResult& r : Plan.Refused)
    lines.push_back(
        {r.Source, "", r.Output, r.Outcome == TFileOutcome::Skipped ? "skipped" : "failed", r.Message, false});
  for (const TPlannedFile& f : Plan.Files) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(f.Output, ec));
    TLine line{f.Source, ModeName(f.Mode), f.Output, "converted", "", exists};
    if (!std::filesystem::exists(f.Source, ec)) {
      line.Outcome = "failed";
      line.Reason = "no such file";
    } else if (exists && Overwrite != TOverwritePolicy::Always) {
      line.Outcome = "skipped";
      line.Reason =
          Overwrite == TOverwritePolicy::Never ? "the output exists" : "the output exists: asked on a terminal";
    }
    lines.push_back(line);
  }
  if (!Json) {
    for (const TLine& l : lines) {
      std::printf("%s\t%s\t%s\t%s%s%s\n", l.Source.c_str(), l.Mode.empty() ? "-" : l.Mode.c_str(),
                  l.Output.empty() ? "-" : l.Output.c_str(), l.Outcome.c_str(), l.Reason.empty() ? "" : ": ",
                  l.Reason.c_str());
    }
    return;
  }
  std::string json = "{\"dry run\": true, \"files\": [";
  for (size_t i = 0; i < lines.size(); ++i) {
    const TLine& l = lines[i];
    json += std::string(i ? ", " : "") + "{" + JsonPath("source", l.Source) +
            ", \"mode\": " + (l.Mode.empty() ? "null" : JsonText(l.Mode)) + ", " + JsonPath("output", l.Output) +
            ", \"exists\": " + (l.Exists ? "true" : "false") + ", \"outcome\": " + JsonText(l.Outcome) +
            ", \"reason\": " + JsonText(l.Reason) + "}";
  }
  std::printf("%s]}\n", json.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  TCliOptions options;
  if (auto exitCode = ParseCommandLine(argc, argv, options)) return *exitCode;
  ui_thread::Initialise();
  try {
    if (options.ListWmaFormats) return ListWmaFormats();
    // A dry run writes nothing, not even the settings folder.
    LoadSettings(!options.DryRun);
    TRunValues values;
    values.Settings = RunSettings(options);
    values.Overrides = TagOverrides(options);
    values.TagsToWma = values.Settings.IsShowTagEditor || values.Overrides.Any();
    values.ReplaceAppearing = options.Overwrite == TOverwritePolicy::Always;
    values.Strict = options.Strict;
    if (const std::string problem = OutputFolderProblem(values.Settings, options.DryRun); !problem.empty()) {
      std::fprintf(stderr, "tonvale-cli: %s\n", problem.c_str());
      return 2;
    }
    InstallSignalHandlers();
    TTerminalView view(options.Overwrite, options.Quiet, options.Json, [] { return gSignal != 0; });
    TPlanRequest request;
    request.Sources = options.Files;
    request.Target = options.Target;
    request.Recursive = options.Recursive;
    request.SameAsInputFolder = values.Settings.SameAsInputFolder;
    request.OutputFolder = values.Settings.OutputFolder;
    request.DryRun = options.DryRun;
    const TRunPlan plan = PlanRun(request);
    const bool toWma = std::any_of(plan.Files.begin(), plan.Files.end(),
                                   [](const TPlannedFile& F) { return F.Mode == cmWavToWma || F.Mode == cmMp3ToWma; });
    if (const std::string problem = toWma ? WmaSettingsProblem(values.Settings, options) : ""; !problem.empty()) {
      std::fprintf(stderr, "tonvale-cli: %s\n", problem.c_str());
      return 2;
    }
    for (const TFileResult& r : options.DryRun ? std::vector<TFileResult>() : plan.Refused) {
      if (r.Outcome == TFileOutcome::Skipped)
        view.Skip(r.Source, r.Message);
      else
        view.Fail(r.Source, r.Message);
    }
    if (options.DryRun) {
      PrintDryRun(plan, options.Overwrite, options.Json);
      return std::any_of(plan.Refused.begin(), plan.Refused.end(),
                         [](const TFileResult& R) { return R.Outcome == TFileOutcome::Failed; })
                 ? 1
                 : 0;
    }
    const int lanes = LanesFor(options.Jobs);
    view.SetTotal(static_cast<int>(plan.Files.size()));
    view.SetLanes(lanes);
    for (const auto& [mode, files] : plan.Batches) {
      if (Stopping(view)) {
        for (const auto& f : files) view.NotStarted(f);
        continue;
      }
      RunBatch(mode, files, values, plan, lanes, view);
    }
    view.PrintSummary();
    if (gSignal) return 128 + gSignal;
    if (view.OutputClosed()) return 128 + SIGPIPE;
    return view.Failed() > 0 ? 1 : 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tonvale-cli: %s\n", e.what());
    return 1;
  }
}
