#include "conversion/file_checks.h"

#include <sys/stat.h>

#include <cerrno>

#include "audio/winmedia/wm_in.h"
#include "conversion/output_tags.h"
#include "conversion/source_tags.h"
#include "conversion/tag_preparation.h"
#include "platform/text.h"

namespace tonvale {

std::string Unreadable(TAuFileIn& Input, const std::string& Source, TReason& Reason) {
  Reason = TReason::CannotRead;
  if (Input.Channels() <= 0 || Input.SampleRate() <= 0 || Input.BitsPerSample() <= 0) {
    const std::string why = Input.Refusal();
    return "Cannot read " + Source + ": " + (why.empty() ? "not an audio file of a kind that can be decoded." : why);
  }
  Reason = TReason::Unsupported;
  if (Input.Channels() > kMaxSourceChannels)
    return "Cannot convert " + Source + ": " + std::to_string(Input.Channels()) + " channels: at most " +
           std::to_string(kMaxSourceChannels) + " are read";
  try {
    CheckSourceRate(Input.SampleRate());
  } catch (const std::exception& e) {
    return "Cannot convert " + Source + ": " + e.what();
  }
  Reason = TReason::None;
  return "";
}

std::optional<TFileResult> FileProblem(const TPlannedFile& File, const TRunValues& Values, const TRunPlan& Plan,
                                       TAuFileIn& Input, TTagValues& Tags) {
  auto problem = [&](TFileOutcome Outcome, TReason Reason, const std::string& Message) {
    return std::optional<TFileResult>(TFileResult{File.Source, File.Output, Outcome, Reason, Message});
  };
  // What the plan relied on: the source is still the file it was.
  struct stat st {};
  if (::stat(File.Source.c_str(), &st) != 0) {
    const int error = errno;
    return problem(TFileOutcome::Failed, error == ENOENT ? TReason::NoSuchFile : TReason::CannotRead,
                   "Cannot open file " + File.Source + ": " + ErrorText(error));
  }
  // A link or file put at the output since planning may lead to a source.
  if (const std::string* source = Plan.Replaced(File.Output))
    return problem(TFileOutcome::Failed, TReason::WouldReplaceSource,
                   "The output file would replace " + *source + ", a source of this run.");
  // A source that cannot be read fails here, before any output file exists.
  Input.ForceEnd();
  Input.SetFileName(File.Source);
  TReason reason = TReason::None;
  if (const std::string why = Unreadable(Input, File.Source, reason); !why.empty()) {
    Input.SetFileName("");
    return problem(TFileOutcome::Failed, reason, why);
  }
  Tags = Values.Tags;
  // Each file's own tags (a WAV source's laid over the run's values); a WMA
  // target takes them from its source through its own tag set.
  if (File.Mode != cmMp3ToWma && File.Mode != cmWavToWma && Values.PerFileTags) {
    if (File.Mode == cmWavToMp3) {
      TId3v2Tags wave;
      WaveSourceTags(File.Source, wave);
      AddSourceTags(wave, Tags);
    } else {
      TagValuesFromSource(static_cast<TWMIn&>(Input).Id3v2Tags(), false, Tags);
    }
    Values.Overrides.ApplyTo(Tags);
  }
  // Strict: a value the output keeps whole in no tag fails it (a WMA
  // output's attributes are checked when they are written).
  if (Values.Strict) {
    std::string report;
    if (OutputExtension(File.Mode) != ".wma") {
      const TTagReport predicted = PredictedReport(Tags, File.Output, Values.Settings.WriteID3v2);
      if (predicted.LostEverywhere) report = predicted.Text;
    }
    if (!report.empty()) {
      Input.SetFileName("");
      return problem(TFileOutcome::Failed, TReason::TagLoss, report);
    }
  }
  return std::nullopt;
}

}  // namespace tonvale
