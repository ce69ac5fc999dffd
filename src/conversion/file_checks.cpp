#include "conversion/file_checks.h"

#include <limits.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "audio/core/au_exception.h"
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

std::string OutputPlaceProblem(const std::string& Output, TOverwritePolicy Overwrite) {
  // The file is written under a hidden name beside the final one, up to 16
  // bytes longer (the name part is cut to fit its own limit).
  const size_t slash = Output.find_last_of('/');
  const size_t name = Output.size() - (slash == std::string::npos ? 0 : slash + 1);
  const size_t longest = Output.size() + std::min<size_t>(16, NAME_MAX - std::min<size_t>(name, NAME_MAX));
  if (longest >= PATH_MAX)
    return "Cannot create file " + Output + ": its path is " + std::to_string(longest) +
           " bytes long while writing, past the " + std::to_string(PATH_MAX - 1) + " a path may have";
  struct stat st {};
  // Never replaced, a folder standing there is skipped as any existing output.
  if (Overwrite != TOverwritePolicy::Never && ::lstat(Output.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return "Cannot create file " + Output + ": a folder of that name stands there";
  return "";
}

namespace {

// What FileProblem checks once the source is known to be there: it opens as
// audio that converts, its output can be put in place, its tags.
std::optional<TFileResult> SourceProblem(const TPlannedFile& File, const TRunValues& Values, TAuFileIn& Input,
                                         TTagValues& Tags) {
  auto problem = [&](TReason Reason, const std::string& Message) {
    Input.SetFileName("");
    return std::optional<TFileResult>(TFileResult{File.Source, File.Output, TFileOutcome::Failed, Reason, Message});
  };
  Input.SetFileName(File.Source);
  TReason reason = TReason::None;
  if (const std::string why = Unreadable(Input, File.Source, reason); !why.empty()) return problem(reason, why);
  // A source that states to the byte that it holds no audio fails as its run would.
  if (Input.ExactSize() && Input.Size() == 0) return problem(TReason::ConversionFailed, "no audio in " + File.Source);
  if (const std::string why = OutputPlaceProblem(File.Output, Values.Overwrite); !why.empty())
    return problem(TReason::OutputUnwritable, why);
  Tags = Values.Tags;
  // Each file's own tags (a WAV source's laid over the run's values); a WMA
  // target takes them from its source through its own tag set, and its
  // values are worked out here only for the strict check.
  const bool wma = File.Mode == cmMp3ToWma || File.Mode == cmWavToWma;
  TTagValues own = Values.Tags;
  if (Values.PerFileTags && (!wma || Values.Strict)) {
    if (File.Mode == cmWavToMp3 || File.Mode == cmWavToWma) {
      TId3v2Tags wave;
      WaveSourceTags(File.Source, wave);
      AddSourceTags(wave, own);
    } else {
      TagValuesFromSource(static_cast<TWMIn&>(Input).Id3v2Tags(), false, own);
    }
    Values.Overrides.ApplyTo(own);
  }
  if (!wma) Tags = own;
  // Strict: a value the output keeps whole in no tag fails it.
  if (Values.Strict) {
    const TTagReport predicted = PredictedReport(own, File.Output, Values.Settings.WriteID3v2);
    if (predicted.LostEverywhere) return problem(TReason::TagLoss, predicted.Text);
  }
  return std::nullopt;
}

}  // namespace

std::optional<TFileResult> FileProblem(const TPlannedFile& File, const TRunValues& Values, const TRunPlan& Plan,
                                       TAuFileIn& Input, TTagValues& Tags) {
  auto problem = [&](TReason Reason, const std::string& Message) {
    return std::optional<TFileResult>(TFileResult{File.Source, File.Output, TFileOutcome::Failed, Reason, Message});
  };
  // What the plan relied on: the source is still the file it was.
  struct stat st {};
  if (::stat(File.Source.c_str(), &st) != 0) {
    const int error = errno;
    return problem(error == ENOENT ? TReason::NoSuchFile : TReason::CannotRead,
                   "Cannot open file " + File.Source + ": " + ErrorText(error));
  }
  // A link or file put at the output since planning may lead to a source.
  if (const std::string* source = Plan.Replaced(File.Output))
    return problem(TReason::WouldReplaceSource, "The output file would replace " + *source + ", a source of this run.");
  // A source that cannot be read fails here, before any output file exists,
  // alike in a run and in a dry run.
  Input.ForceEnd();
  try {
    return SourceProblem(File, Values, Input, Tags);
  } catch (const EAuException& e) {
    Input.SetFileName("");
    return problem(TReason::CannotRead, e.Detail().empty() ? e.what() : e.what() + std::string(": ") + e.Detail());
  } catch (const std::exception& e) {
    Input.SetFileName("");
    return problem(TReason::CannotRead, e.what());
  }
}

}  // namespace tonvale
