#include "conversion/batch_driver.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "audio/core/au_exception.h"
#include "conversion/conversion_modes.h"
#include "conversion/output_tags.h"
#include "conversion/source_tags.h"
#include "conversion/tag_preparation.h"
#include "platform/text.h"
#include "platform/ui_thread.h"
#include "settings/encoder_config.h"
#include "tags/genre_list.h"
#include "tags/id3tag.h"
#include "tags/wave_info.h"
#include "tags/au_tags.h"

namespace tonvale {
namespace {

bool SameFile(const std::string& A, const std::string& B) {
  std::error_code ec;
  if (std::filesystem::equivalent(A, B, ec)) return true;
  return std::filesystem::weakly_canonical(A, ec) == std::filesystem::weakly_canonical(B, ec);
}

}  // namespace

TBatchDriver::TBatchDriver(IBatchView& View, std::vector<std::string> FileList,
                           std::shared_ptr<const TRunValues> Values)
    : FView(View),
      Files(std::move(FileList)),
      FValues(Values ? std::move(Values) : std::make_shared<const TRunValues>(TRunValues::Current())),
      FSources(Files),
      FSelf(std::make_shared<TBatchDriver*>(this)) {
  WaveOut1.SetWavType(wtPCM);
  WaveOut1.SetBlockSize(512);
  WaveOut1.SetFileMode(foRewrite);
  MP3Out1.SetInput(&WaveIn1);
  MP3Out1.SetBitRate(br128);
  // The ID3v1 tag goes in before the file takes its name.
  MP3Out1.HoldFinishedFile = true;
  WaveOut1.HoldFinishedFile = true;  // the tags follow the data
  WMAOut1.HoldFinishedFile = true;   // until its tags are known to be whole
  WMAOut1.SetInput(&WaveIn1);
  auto done = [this](TAuComponent* Sender) { WaveOut1Done(Sender); };
  for (TAuOutput* out :
       {static_cast<TAuOutput*>(&WaveOut1), static_cast<TAuOutput*>(&MP3Out1), static_cast<TAuOutput*>(&WMAOut1)}) {
    out->SetOnDone(done);
    out->SetOnProgress([this, out](TAuComponent*) { FView.ShowProgress(out->Progress()); });
  }
  FView.ShowProgressHint("Encoding...");
  FView.ShowSelectedTracks(static_cast<int>(Files.size()));
}

void TBatchDriver::Start(int Mode, TBatchHooks Hooks) {
  if (FStarted) throw std::logic_error("TBatchDriver::Start called twice");
  FStarted = true;
  FMode = Mode;
  FHooks = std::move(Hooks);
  PostStep(0);
}

TBatchDriver::~TBatchDriver() {
  *FSelf = nullptr;
  if (!FClosed) {
    FClosed = true;
    if (TAuOutput* out = ModeOutput()) out->Stop(false);
  }
}

void TBatchDriver::SetDoneDelay(int Milliseconds) {
  WaveOut1.SetDoneDelay(Milliseconds);
  MP3Out1.SetDoneDelay(Milliseconds);
  WMAOut1.SetDoneDelay(Milliseconds);
}

void TBatchDriver::PostStep(int WParam) {
  ui_thread::Post([self = FSelf, WParam] {
    if (*self) (*self)->Step(WParam);
  });
}

void TBatchDriver::WaveOut1Done(TAuComponent*) {
  FDone = true;
  PostStep(1);
}

TAuOutput* TBatchDriver::ModeOutput() {
  switch (FMode) {
    case cmWavToMp3:
    case cmWmaToMp3: return &MP3Out1;
    case cmWavToWma:
    case cmMp3ToWma: return &WMAOut1;
    case cmMp3ToWav:
    case cmWmaToWav: return &WaveOut1;
    default: return nullptr;
  }
}

TAuFileIn* TBatchDriver::ModeInput() {
  switch (FMode) {
    case cmWavToMp3:
    case cmWavToWma: return &WaveIn1;
    case cmMp3ToWav:
    case cmMp3ToWma: return &MP3In1;
    case cmWmaToWav:
    case cmWmaToMp3: return &WMIn1;
    default: return nullptr;
  }
}

bool TBatchDriver::AwaitingReport() {
  TAuOutput* out = ModeOutput();
  return FRunning && !FDone && out && out->Completed();
}

void TBatchDriver::ReleaseHeldSteps() {
  std::vector<int> held;
  held.swap(FHeldSteps);
  for (int w : held) PostStep(w);
}

void TBatchDriver::Step(int WParam) {
  if (FClosed) return;
  if (FHooks.HoldSteps && FHooks.HoldSteps()) {
    FHeldSteps.push_back(WParam);
    return;
  }
  if (WParam == 1) FinishPrevious();
  if (FHooks.StopRequested && FHooks.StopRequested()) {
    Close();
    return;
  }
  std::string source;
  if (FHooks.NextFile ? !FHooks.NextFile(source) : FCurrent >= static_cast<int>(Files.size())) {
    Close();
    return;
  }
  if (!FHooks.NextFile) source = Files[FCurrent];
  StartNext(source);
}

void TBatchDriver::FinishPrevious() {
  if (!FRunning) return;
  FRunning = false;
  TAuOutput* out = ModeOutput();
  std::string error = out->ErrorMessage();
  if (!error.empty() && !out->ErrorDetail().empty()) error += ": " + out->ErrorDetail();
  TTagReport report;
  if (out == &MP3Out1) report = Mp3TagReport(FRunningTags, FRunningOutput, !MP3Out1.LeadingTag.empty());
  if (out == &WaveOut1) report = {WaveInfoReport(FRunningTags), !WaveInfoReport(FRunningTags).empty()};
  if (out == &WMAOut1) report = WmaTagReport(WMAOut1.Id3v2Tags());
  const std::string& tagReport = report.Text;
  auto* fileOut = static_cast<TAuFileOut*>(out);
  if (error.empty() && FValues->Strict && report.LostEverywhere) {
    // Strict: a value the output keeps whole in no tag fails it.
    fileOut->CommitFile(false);
    error = tagReport;
  } else if (error.empty() && out == &MP3Out1) {
    error = CompleteMp3(MP3Out1.FileName());
  } else if (error.empty()) {
    // A WAV output's tags follow its data.
    const int e =
        out == &WaveOut1 ? AppendWaveChunk(WaveOut1.WrittenFileName(), WaveInfoFor(FRunningTags, FRunningOutput)) : 0;
    if (e) error = "Cannot write the tags to " + FRunningOutput + ": " + ErrorText(e);
    const std::string committed = fileOut->CommitFile(error.empty());
    if (error.empty()) error = committed;
  }
  if (static_cast<TAuFileOut*>(out)->Appeared()) {
    FView.FileFinished({FRunningSource, FRunningOutput, TFileOutcome::Skipped,
                        FRunningOutput + " appeared while converting; it is kept"});
    return;
  }
  if (!error.empty()) {
    FView.FileFinished({FRunningSource, FRunningOutput, TFileOutcome::Failed, error});
    return;
  }
  TFileResult result{FRunningSource, FRunningOutput, TFileOutcome::Converted, out->WarningMessage()};
  result.TagReport = tagReport;
  FView.FileFinished(result);
}

std::string TBatchDriver::CompleteMp3(const std::string& Output) {
  const std::string written = MP3Out1.WrittenFileName();
  const TTagValues& values = FRunningTags;
  Tid3tag tag;
  FillId3v1(tag, values, Output);
  std::string error;
  if (tag.WriteTag(written) != Tid3tag::Ok)
    error = "Cannot write the ID3v1 tag to " + Output + ": " + ErrorText(tag.SystemError ? tag.SystemError : EIO);
  const std::string committed = MP3Out1.CommitFile(error.empty());
  return error.empty() ? committed : error;
}

void TBatchDriver::StartNext(const std::string& source) {
  FView.ShowInputFileName(FileNamePart(source));
  FView.ShowProgressCaption("Encoding...");
  FView.ShowCompleted(FCurrent);
  const TSettings& settings = FValues->Settings;
  const std::string folder = FHooks.OutputFolderFor       ? FHooks.OutputFolderFor(source)
                             : settings.SameAsInputFolder ? FolderPart(source)
                                                          : settings.OutputFolder;
  FView.ShowOutputFolder(folder);
  ++FCurrent;
  if (!IsConversionMode(FMode)) return;
  const std::string output = OutputPath(source, folder, FMode);
  try {
    StartFile(source, output);
  } catch (const EAuException& e) {
    FRunning = false;
    FailFile(source, output, e.Detail().empty() ? e.what() : e.what() + std::string(": ") + e.Detail());
  } catch (const std::exception& e) {
    FRunning = false;
    FailFile(source, output, e.what());
  }
}

void TBatchDriver::FailFile(const std::string& Source, const std::string& Output, const std::string& Message) {
  FView.FileFinished({Source, Output, TFileOutcome::Failed, Message});
  PostStep(1);
}

void TBatchDriver::StartFile(const std::string& Source, const std::string& Output) {
  TAuFileIn* input = ModeInput();
  TAuOutput* output = ModeOutput();
  auto* fileOut = static_cast<TAuFileOut*>(output);
  // A run that failed before may have left the input's read open.
  input->ForceEnd();
  input->SetFileName(Source);
  if (FMode != cmWavToMp3 && FMode != cmWavToWma) output->SetInput(input);
  fileOut->SetFileName(Output);
  FView.ShowOutputFileName(FileNamePart(Output));
  FView.ShowPaths(Source, Output);
  if (SameFile(Source, Output)) {
    FView.FileFinished({Source, Output, TFileOutcome::Skipped, "The output file would replace its source."});
    PostStep(1);
    return;
  }
  // A source that cannot be read fails here, before any output file exists.
  const std::string unreadable = Unreadable(*input, Source);
  if (!unreadable.empty()) {
    input->SetFileName("");
    FailFile(Source, Output, unreadable);
    return;
  }
  if (const std::string* other = FSources.Replaced(Output)) {
    FView.FileFinished({Source, Output, TFileOutcome::Failed,
                        "The output file would replace " + *other + ", another source of this batch."});
    PostStep(1);
    return;
  }
  const TRunValues& values = *FValues;
  const bool perFileTags = Files.size() > 1 && !values.Settings.IsSameTag;
  if (FMode == cmMp3ToWma || FMode == cmWavToWma) {
    WMAOut1.Id3v2Tags().Clear();
    if (FMode == cmMp3ToWma && perFileTags) WMAOut1.SetId3v2Tags(MP3In1.Id3v2Tags());
    if (FMode == cmWavToWma && perFileTags) WaveSourceTags(Source, WMAOut1.Id3v2Tags());
  }
  FAskedSource = Source;
  if (!ConfirmOverwrite(Output)) return;
  // A file asked about is replaced; one that appears meanwhile only with -y.
  fileOut->Replace = FOutputExisted || FValues->ReplaceAppearing ? TAuFileOut::rrAlways : TAuFileOut::rrNever;
  fileOut->KeepNoPartial = output->ShortInputFails = values.Strict;
  FRunningTags = values.Tags;
  if (FMode != cmMp3ToWma && FMode != cmWavToWma && perFileTags) {
    TId3v2Tags wave;
    if (FMode == cmWavToMp3) WaveSourceTags(Source, wave);
    if (FMode == cmWavToMp3)
      AddSourceTags(wave, FRunningTags);
    else
      TagValuesFromSource(FMode == cmMp3ToWav ? MP3In1.Id3v2Tags() : WMIn1.Id3v2Tags(), false, FRunningTags);
    values.Overrides.ApplyTo(FRunningTags);
  }
  if (output == &MP3Out1) {
    ConfigureMP3Out(MP3Out1, values.Settings);
    MP3Out1.LeadingTag = values.Settings.WriteID3v2 ? Id3v2TagFor(FRunningTags, Output) : std::vector<uint8_t>();
  }
  if (output == &WMAOut1) ConfigureWMAOut(WMAOut1, values.Settings, FRunningTags, values.TagsToWma);
  // A folder of a tree kept under the output folder is made when first needed.
  if (FHooks.OutputFolderFor) {
    std::error_code ec;
    std::filesystem::create_directories(FolderPart(Output), ec);
  }
  FRunningSource = Source;
  FRunningOutput = Output;
  FRunning = true;
  FDone = false;
  output->Run();
}

std::string TBatchDriver::Unreadable(TAuFileIn& Input, const std::string& Source) {
  if (Input.Channels() <= 0 || Input.SampleRate() <= 0 || Input.BitsPerSample() <= 0)
    return "Cannot read " + Source + ": not an audio file of a kind that can be decoded.";
  if (Input.Channels() > kMaxSourceChannels)
    return "Cannot convert " + Source + ": " + std::to_string(Input.Channels()) + " channels: at most " +
           std::to_string(kMaxSourceChannels) + " are read";
  try {
    CheckSourceRate(Input.SampleRate());
  } catch (const std::exception& e) {
    return "Cannot convert " + Source + ": " + e.what();
  }
  return "";
}

bool TBatchDriver::ConfirmOverwrite(const std::string& Path) {
  std::error_code ec;
  // A link, even one that leads nowhere, is an existing file.
  FOutputExisted = std::filesystem::exists(std::filesystem::symlink_status(Path, ec));
  if (!FOutputExisted) return true;
  if (FView.ConfirmOverwrite(Path)) return true;
  FView.FileFinished({FAskedSource, Path, TFileOutcome::Skipped, Path + " has existed", true});
  PostStep(1);
  return false;
}

void TBatchDriver::Close() {
  if (FClosed) return;
  FClosed = true;
  Files.clear();
  TAuOutput* out = ModeOutput();
  if (out) out->Stop(false);
  // A file whose output had finished before the stop (its report still
  // waiting out the done delay) is a converted file.
  if (FRunning && (FDone || (out && out->Completed()))) FinishPrevious();
  if (FRunning) {
    FRunning = false;
    FView.FileFinished(
        {FRunningSource, FRunningOutput, TFileOutcome::Failed, "Stopped before the end: the output is incomplete."});
  }
  WaveIn1.SetFileName("");
  WaveOut1.SetFileName("");
  MP3In1.SetFileName("");
  WMIn1.SetFileName("");
  MP3Out1.SetFileName("");
  WMAOut1.SetFileName("");
  FView.BatchClosed();
}

}  // namespace tonvale
