#include "conversion/segment_decision.h"
#include "conversion/batch_driver.h"

#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "audio/core/au_exception.h"
#include "conversion/conversion_modes.h"
#include "conversion/file_checks.h"
#include "conversion/output_tags.h"
#include "conversion/source_tags.h"
#include "conversion/tag_preparation.h"
#include "conversion/written_tags.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "platform/ui_thread.h"
#include "settings/encoder_config.h"
#include "tags/id3tag.h"
#include "tags/wave_info.h"

namespace tonvale {

TBatchDriver::TBatchDriver(IBatchView& View, std::shared_ptr<const TRunValues> Values,
                           std::shared_ptr<const TRunPlan> Plan)
    : FView(View), FValues(std::move(Values)), FPlan(std::move(Plan)), FSelf(std::make_shared<TBatchDriver*>(this)) {
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
  FView.ShowSelectedTracks(static_cast<int>(FPlan->Files.size()));
}

void TBatchDriver::Start(TBatchHooks Hooks) {
  if (FStarted) throw std::logic_error("TBatchDriver::Start called twice");
  FStarted = true;
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

namespace {

// The one of a WAV, an MP3 and a WMA component that serves Type.
template <class T>
T* ForType(const std::string& Type, T* Wav, T* Mp3, T* Wma) {
  return Type == "wav" ? Wav : Type == "mp3" ? Mp3 : Type == "wma" ? Wma : nullptr;
}

}  // namespace

TAuOutput* TBatchDriver::ModeOutput() {
  const TModeInfo* m = ModeInfo(FMode);
  return m ? ForType<TAuOutput>(m->Target, &WaveOut1, &MP3Out1, &WMAOut1) : nullptr;
}

TAuFileIn* TBatchDriver::ModeInput() { return ForType<TAuFileIn>(SourceType(FMode), &WaveIn1, &MP3In1, &WMIn1); }

bool TBatchDriver::AwaitingReport() {
  TAuOutput* out = ModeOutput();
  return FRunning && !FDone && out && out->Completed();
}

bool TBatchDriver::LendCore() { return FRunning && !FClosed && ModeOutput() == &MP3Out1 && MP3Out1.LendWorker(); }

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
  TPlannedFile file;
  if (FHooks.NextFile) {
    if (!FHooks.NextFile(file)) {
      Close();
      return;
    }
  } else if (FCurrent < static_cast<int>(FPlan->Files.size())) {
    file = FPlan->Files[static_cast<size_t>(FCurrent)];
  } else {
    Close();
    return;
  }
  StartNext(file);
}

void TBatchDriver::FinishPrevious() {
  if (!FRunning) return;
  FRunning = false;
  TAuOutput* out = ModeOutput();
  const TPlannedFile& f = FRunningFile;
  std::string error = out->ErrorMessage();
  if (!error.empty() && !out->ErrorDetail().empty()) error += ": " + out->ErrorDetail();
  TTagReport report;
  if (out == &MP3Out1) report = Mp3TagReport(FRunningTags, f.Output, !MP3Out1.LeadingTag.empty());
  if (out == &WaveOut1) report = WaveInfoReport(FRunningTags);
  if (out == &WMAOut1) report = WmaTagReport(WMAOut1.Id3v2Tags());
  auto* fileOut = static_cast<TAuFileOut*>(out);
  TReason reason = TReason::ConversionFailed;
  if (error.empty()) {
    error = WriteTrailingTags(f.Output);
    if (error.empty()) {
      // The report holds to what the written tags read back.
      TTagValues written = FRunningTags;
      if (out == &WMAOut1) {
        written = {};
        TagValuesFromSource(WMAOut1.Id3v2Tags(), false, written);
      }
      CheckWrittenTags(report, ValuesNotKept(written, f.Output, fileOut->WrittenFileName()), written.TagPictureLeftOut);
    }
    if (error.empty() && FValues->Strict && report.LostEverywhere) {
      // Strict: a value the output keeps whole in no tag fails it.
      fileOut->CommitFile(false);
      error = report.Text;
      reason = TReason::TagLoss;
    } else {
      const std::string committed = fileOut->CommitFile(error.empty());
      if (error.empty()) error = committed;
    }
  }
  if (static_cast<TAuFileOut*>(out)->Appeared()) {
    FView.FileFinished({f.Source, f.Output, TFileOutcome::Skipped, TReason::AppearedWhileConverting,
                        f.Output + " appeared while converting; it is kept"});
    return;
  }
  if (!error.empty()) {
    FView.FileFinished({f.Source, f.Output, TFileOutcome::Failed, reason, error});
    return;
  }
  TFileResult result{f.Source, f.Output, TFileOutcome::Converted};
  for (const TAuWarningText& w : out->Warnings())
    result.Warnings.push_back({w.Kind == TAuWarning::SamplesClipped     ? TWarningKind::SamplesClipped
                               : w.Kind == TAuWarning::SourceEndedEarly ? TWarningKind::SourceEndedEarly
                                                                        : TWarningKind::Other,
                               w.Text});
  // A loss that the ID3v2 tag keeps whole is one of the ID3v1 tag only.
  const bool id3v1Only = out == &MP3Out1 && !MP3Out1.LeadingTag.empty() && !report.LostEverywhere;
  if (!report.Text.empty())
    result.Warnings.push_back({id3v1Only ? TWarningKind::Id3v1Shortened : TWarningKind::TagsShortened, report.Text});
  FView.FileFinished(result);
}

std::string TBatchDriver::WriteTrailingTags(const std::string& Output) {
  if (ModeOutput() == &MP3Out1) {
    Tid3tag tag;
    FillId3v1(tag, FRunningTags, Output);
    if (tag.WriteTag(MP3Out1.WrittenFileName()) != Tid3tag::Ok)
      return "Cannot write the ID3v1 tag to " + Output + ": " + ErrorText(tag.SystemError ? tag.SystemError : EIO);
  }
  if (ModeOutput() == &WaveOut1) {
    if (const int e = AppendWaveChunk(WaveOut1.WrittenFileName(), WaveInfoFor(FRunningTags, Output)))
      return "Cannot write the tags to " + Output + ": " + ErrorText(e);
  }
  return "";
}

void TBatchDriver::StartNext(const TPlannedFile& File) {
  FView.ShowInputFileName(FileNamePart(File.Source));
  FView.ShowProgressCaption("Encoding...");
  FView.ShowCompleted(FCurrent);
  FView.ShowOutputFolder(File.OutputFolder);
  ++FCurrent;
  if (!IsConversionMode(File.Mode)) return;
  try {
    StartFile(File);
  } catch (const EAuException& e) {
    FRunning = false;
    EndFile({File.Source, File.Output, TFileOutcome::Failed, TReason::ConversionFailed,
             e.Detail().empty() ? e.what() : e.what() + std::string(": ") + e.Detail()});
  } catch (const std::exception& e) {
    FRunning = false;
    EndFile({File.Source, File.Output, TFileOutcome::Failed, TReason::ConversionFailed, e.what()});
  }
}

void TBatchDriver::EndFile(const TFileResult& Result) {
  FView.FileFinished(Result);
  PostStep(1);
}

void TBatchDriver::StartFile(const TPlannedFile& File) {
  FMode = File.Mode;
  TAuFileIn* input = ModeInput();
  TAuOutput* output = ModeOutput();
  auto* fileOut = static_cast<TAuFileOut*>(output);
  output->SetInput(input);
  fileOut->SetFileName(File.Output);
  FView.ShowOutputFileName(FileNamePart(File.Output));
  FView.ShowPaths(File.Source, File.Output);
  const TRunValues& values = *FValues;
  if (auto problem = FileProblem(File, values, *FPlan, *input, FRunningTags)) {
    EndFile(*problem);
    return;
  }
  if (output == &WMAOut1) {
    WMAOut1.Id3v2Tags().Clear();
    if (FMode == cmMp3ToWma && values.PerFileTags) WMAOut1.SetId3v2Tags(MP3In1.Id3v2Tags());
    if (FMode == cmWavToWma && values.PerFileTags) WaveSourceTags(File.Source, WMAOut1.Id3v2Tags());
  }
  if (!MayWrite(File)) return;
  fileOut->KeepNoPartial = output->ShortInputFails = values.Strict;
  if (output == &MP3Out1) {
    ConfigureMP3Out(MP3Out1, values.Settings);
    MP3Out1.LeadingTag = values.Settings.WriteID3v2 ? Id3v2TagFor(FRunningTags, File.Output) : std::vector<uint8_t>();
    DecideSegments(MP3Out1, WaveIn1, values.Settings, FMode == cmWavToMp3 ? FHooks.BorrowLanes : nullptr);
  }
  if (output == &WMAOut1) ConfigureWMAOut(WMAOut1, values.Settings, FRunningTags, values.TagsToWma);
  // A folder of a tree kept under the output folder is made when first needed.
  const std::string& folder = values.Settings.OutputFolder;
  if (!values.Settings.SameAsInputFolder && File.OutputFolder != folder && File.OutputFolder != folder + "/") {
    if (const int error = MakeFolders(File.OutputFolder)) {
      input->SetFileName("");
      EndFile({File.Source, File.Output, TFileOutcome::Failed, TReason::OutputUnwritable,
               "Cannot create the folder " + File.OutputFolder + ": " + ErrorText(error)});
      return;
    }
  }
  FRunningFile = File;
  FRunning = true;
  FDone = false;
  output->Run();
}

bool TBatchDriver::MayWrite(const TPlannedFile& File) {
  auto* fileOut = static_cast<TAuFileOut*>(ModeOutput());
  std::error_code ec;
  // A link, even one that leads nowhere, is an existing file.
  const bool exists = std::filesystem::exists(std::filesystem::symlink_status(File.Output, ec));
  const TOverwritePolicy policy = FValues->Overwrite;
  const bool replace = exists && (policy == TOverwritePolicy::Always ||
                                  (policy == TOverwritePolicy::Ask && FView.ConfirmOverwrite(File.Output)));
  if (exists && !replace) {
    ModeInput()->SetFileName("");
    EndFile({File.Source, File.Output, TFileOutcome::Skipped, TReason::OutputExists, File.Output + " has existed"});
    return false;
  }
  FRunningReplaces = exists;
  // A file asked about is replaced; one that appears meanwhile only with -y.
  fileOut->Replace = replace || FValues->ReplaceAppearing ? TAuFileOut::rrAlways : TAuFileOut::rrNever;
  return true;
}

void TBatchDriver::Close() {
  if (FClosed) return;
  FClosed = true;
  TAuOutput* out = ModeOutput();
  if (out) out->Stop(false);
  // A file whose output had finished before the stop (its report still
  // waiting out the done delay) is a converted file.
  if (FRunning && (FDone || (out && out->Completed()))) FinishPrevious();
  if (FRunning) {
    FRunning = false;
    FView.FileFinished({FRunningFile.Source, FRunningFile.Output, TFileOutcome::Failed, TReason::Stopped,
                        FRunningReplaces ? "Stopped before the end: the earlier file was kept."
                                         : "Stopped before the end: the output is incomplete."});
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
