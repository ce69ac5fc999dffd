// tonvale-cli: the batch converter on the command line.

#include <signal.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "audio/winmedia/wma_out.h"
#include "cli/cli_options.h"
#include "cli/refusal.h"
#include "cli/terminal_view.h"
#include "cli/run_json.h"
#include "cli/stop_signal.h"
#include "cli/terminal_text.h"
#include "conversion/conversion_modes.h"
#include "conversion/conversion_run.h"
#include "conversion/tag_preparation.h"
#include "platform/standard_streams.h"
#include "platform/text.h"
#include "platform/ui_thread.h"
#include "settings/settings.h"
#include "settings/tag_values.h"

using namespace tonvale;

namespace {

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
  // The same tag for a batch is what the window's tag editor gives; here no
  // editor is shown, so each file of a batch keeps its own tags.
  s.IsSameTag = false;
  if (O.OutputFolder) s.OutputFolder = *O.OutputFolder;
  if (O.SameFolder) s.SameAsInputFolder = true;
  if (O.Bitrate) s.ConstantBitRate = ConstantBitRateIndex(*O.Bitrate);
  if (O.Vbr) s.IsSelectVBR = true;
  if (O.VbrQuality) s.VBRQuality = *O.VbrQuality;
  if (O.VbrMin) s.BitRate = *O.VbrMin;
  if (O.VbrMax) s.MaxBitRate = *O.VbrMax;
  if (O.NoId3v2) s.WriteID3v2 = false;
  if (O.NoSegments) s.SegmentLongFiles = false;
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
bool Stopping(const TTerminalView& View) { return StopSignal() != 0 || View.OutputClosed(); }

// What the run would do, written instead of doing it: every file the run
// would list, with the outcome it would give and why.
void PrintDryRun(const std::vector<TPrediction>& Predictions, bool Json, const std::vector<std::string>& Warnings) {
  if (!Json) {
    for (const TPrediction& p : Predictions) {
      const TFileResult& r = p.Result;
      const std::string mode = ModeName(p.Mode);
      const std::string line = ForStandardOutput(r.Source) + "\t" + (mode.empty() ? "-" : mode) + "\t" +
                               (r.Output.empty() ? "-" : ForStandardOutput(r.Output)) + "\t" + OutcomeName(r.Outcome) +
                               (r.Message.empty() ? "" : ": ") + ForStandardOutput(r.Message) + "\n";
      if (!WriteStandardOutput(line)) return;
    }
    return;
  }
  std::vector<std::string> files;
  for (const TPrediction& p : Predictions) {
    const std::string mode = ModeName(p.Mode);
    files.push_back(JsonFile(p.Result, {"\"mode\": " + (mode.empty() ? std::string("null") : JsonText(mode)),
                                        std::string("\"exists\": ") + (p.OutputExists ? "true" : "false")}));
  }
  WriteStandardOutput(JsonRun("\"dry run\": true", Warnings, files, ""));
}

// A title given for one file is refused for a run of several, however they
// were given (named, or found under a folder): each keeps its own name.
bool TitleForSeveral(const TCliOptions& O, const TRunPlan& Plan) {
  return O.Title && Plan.Files.size() + Plan.Refused.size() > 1;
}

// The run the options ask for: the stored settings with the options over them.
TRunRequest RequestFor(const TCliOptions& O) {
  TRunRequest r;
  TRunValues& v = r.Values;
  v.Settings = RunSettings(O);
  v.Overrides = TagOverrides(O);
  v.TagsToWma = v.Settings.IsShowTagEditor || v.Overrides.Any();
  // Without a terminal to ask on, an existing output is kept.
  v.Overwrite = O.Overwrite == TOverwritePolicy::Ask && !::isatty(STDIN_FILENO) ? TOverwritePolicy::Never : O.Overwrite;
  v.ReplaceAppearing = O.Overwrite == TOverwritePolicy::Always;
  v.Strict = O.Strict;
  v.Jobs = O.Jobs ? *O.Jobs : v.Settings.Jobs;
  r.Plan.Sources = O.Files;
  r.Plan.Target = O.Target;
  r.Plan.Recursive = O.Recursive;
  r.Plan.SameAsInputFolder = v.Settings.SameAsInputFolder;
  r.Plan.OutputFolder = v.Settings.OutputFolder;
  r.Plan.DryRun = O.DryRun;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened: a closed standard stream would otherwise be
  // the descriptor of an output file, and the messages would land in it.
  if (!FillClosedStandardStreams()) {
    std::fprintf(stderr, "tonvale-cli: a closed standard stream cannot be opened on /dev/null\n");
    return 2;
  }
  // A stop asked for while the options are read ends the program once they
  // are, with nothing started.
  InstallSignalHandlers();
  TCliOptions options;
  if (auto exitCode = ParseCommandLine(argc, argv, options)) return *exitCode;
  if (const int stop = StopSignal()) return 128 + stop;
  ui_thread::Initialise();
  std::vector<std::string> warnings;  // of the settings
  try {
    if (options.ListWmaFormats) return ListWmaFormats();
    // A dry run writes nothing, not even the settings folder.
    warnings = LoadSettings(!options.DryRun);
    for (const std::string& w : warnings) SayOnError("tonvale-cli: %s\n", EscapeControls(w).c_str());
    TConversionRun run(RequestFor(options));
    const TRunValues& values = run.Values();
    if (const std::string problem = OutputFolderProblem(values.Settings, options.DryRun); !problem.empty())
      return Refuse(options.Json, "output folder", problem, 2, warnings);
    const TRunPlan& plan = run.Plan();
    if (TitleForSeveral(options, plan)) {
      const int status = Refuse(options.Json, "usage", kTitleForOneFile, 2, warnings);
      SayOnError("Run with --help for usage.\n");
      return status;
    }
    const bool toWma = std::any_of(plan.Files.begin(), plan.Files.end(),
                                   [](const TPlannedFile& F) { return OutputExtension(F.Mode) == ".wma"; });
    if (const std::string problem = toWma ? WmaSettingsProblem(values.Settings, options) : ""; !problem.empty())
      return Refuse(options.Json, "WMA settings", problem, 2, warnings);
    if (options.DryRun) {
      const std::vector<TPrediction> predictions = run.DryRun();
      PrintDryRun(predictions, options.Json, warnings);
      if (const int stop = StopSignal()) return 128 + stop;
      return std::any_of(predictions.begin(), predictions.end(),
                         [](const TPrediction& P) { return P.Result.Outcome == TFileOutcome::Failed; })
                 ? 1
                 : 0;
    }
    if (const int stop = StopSignal()) return 128 + stop;
    TTerminalView view(options.Quiet, options.Json, [] { return StopSignal() != 0; });
    view.SetWarnings(warnings);
    view.SetTotal(static_cast<int>(plan.Files.size()));
    view.SetLanes(LanesFor(values.Jobs));
    run.DoneDelay = 0;
    run.StopRequested = [&view] { return Stopping(view); };
    run.Start([&view](int Lane) -> std::shared_ptr<IBatchView> { return view.Lane(Lane); });
    while (!run.Closed()) {
      if (Stopping(view)) run.Stop();
      ui_thread::WaitAndProcess(std::chrono::milliseconds(100));
    }
    view.PrintSummary();
    if (const int stop = StopSignal()) return 128 + stop;
    if (view.OutputClosed()) return 128 + SIGPIPE;
    return view.Failed() > 0 ? 1 : 0;
  } catch (const ESettingsError& e) {
    return Refuse(options.Json, "settings", e.what());
  } catch (const std::exception& e) {
    return Refuse(options.Json, "failure", e.what(), 1, warnings);
  }
}
