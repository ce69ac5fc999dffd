#include "audio/core/au_output.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "audio/core/au_exception.h"
#include "audio/core/au_file_in.h"
#include "audio/core/au_input.h"
#include "audio/core/au_thread.h"
#include "audio/core/au_warnings.h"
#include "platform/ui_thread.h"

namespace tonvale {

TAuOutput::TAuOutput(TAuComponent* Owner) : TAuComponent(Owner) {
  TEventHandler::AddOutput();
  Worker = std::make_unique<TAuThread>(this, [this] { HandleFailure(); });
}

TAuOutput::~TAuOutput() {
  // By now the concrete output's members are gone: a worker that ran would
  // use them. Every concrete output ends it first, in its own destructor,
  // through BeforeDestruction(); one that does not is a fault of the
  // program, stopped here before it can do harm. (An output whose own
  // constructor failed never ran: its worker is parked and simply ends.)
  if (!FWorkerEnded && FEverRun) {
    std::fputs("tonvale: an output was destroyed without BeforeDestruction() in its destructor\n", stderr);
    std::abort();
  }
  EndWorker();
  TEventHandler::RemoveOutput();
}

void TAuOutput::BeforeDestruction() {
  EndWorker();
  TAuComponent::BeforeDestruction();
}

void TAuOutput::EndWorker() {
  if (FWorkerEnded) return;
  FWorkerEnded = true;
  Stop(false);
  if (auto* handler = TEventHandler::Instance()) handler->Cancel(this);
  Worker.reset();
}

void TAuOutput::Run() {
  if (FRunning) throw EAuException("Component is Busy");
  FErrorMessage.clear();
  FErrorDetail.clear();
  FWarningMessage.clear();
  FWarnings.clear();
  if (!FInput.load()) throw EAuException("Input is not assigned");
  // A stop asked while idle does not end this run; one asked from now on does.
  Worker->StopRequest = false;
  FCompleted = false;
  FRunning = true;
  FEverRun = true;
  Worker->Resume();
}

void TAuOutput::Stop(bool NoWait) {
  if (!Worker) return;
  FInterrupted = true;
  Worker->NotifyDone = NoWait;
  Worker->RunEnded = false;
  Worker->StopRequest = true;
  if (NoWait) return;
  Worker->Wake();
  TEventHandler* handler = TEventHandler::Instance();
  handler->Block(this);
  handler->Cancel(this);
  const bool onUi = ui_thread::IsUiThread();
  while (!Worker->Suspended() && !Worker->RunEnded) {
    int delay = Worker->Delay;
    if (delay > 5) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    // The worker may need the UI thread on its way to the end (a failure's
    // report), so there the hand-overs are run while waiting.
    if (onUi)
      ui_thread::CheckSynchronize(std::chrono::milliseconds(1));
    else
      Worker->WaitParked(std::chrono::milliseconds(50), true);
  }
  // A report taken for delivery while we waited is dropped too.
  handler->Cancel(this);
  handler->Unblock();
  Worker->NotifyDone = true;
}

int TAuOutput::Progress() const {
  TAuInput* input = FInput.load();
  if (!input) return 0;
  int64_t size = input->Size();
  if (size == -1) return -1;
  if (size == 0) return 0;
  return static_cast<int>(std::nearbyint(static_cast<double>(input->Position()) / static_cast<double>(size) * 100.0));
}

int TAuOutput::Delay() const { return Worker ? Worker->Delay.load() : 0; }

void TAuOutput::SetDelay(int Value) {
  if (Worker && Value <= 100) Worker->Delay = Value;
}

void TAuOutput::SetInput(TAuInput* Value) {
  TAuInput* old = FInput.load();
  auto store = [&] {
    if (old && old != Value) old->RemoveFreeNotification(this);
    FInput = Value;
    if (Value) Value->FreeNotification(this);
  };
  if (FRunning) {
    Stop(false);
    store();
    Run();
  } else {
    store();
  }
}

void TAuOutput::Notification(TAuComponent* Component, TOperation Operation) {
  TAuComponent::Notification(Component, Operation);
  if (Operation == TOperation::opRemove && Component != nullptr &&
      Component == static_cast<TAuComponent*>(FInput.load())) {
    try {
      SetInput(nullptr);
    } catch (const std::exception&) {
      // The run was stopped; restarting without an input fails, as it should.
    }
  }
}

void TAuOutput::NoteShortInput() {
  TAuInput* in = FInput.load();
  if (!in) return;
  int64_t size = in->Size();
  const int64_t delivered = in->Position();
  // A source that gave no audio at all converts into nothing worth a file.
  if (delivered == 0 && NoAudioFails) {
    const auto* file = dynamic_cast<const TAuFileIn*>(in);
    throw EAuException("no audio in " + (file && !file->FileName().empty() ? file->FileName() : "the source"));
  }
  // What the source itself told: with strict outputs, a failure.
  bool decodeLoss = false;
  for (const TAuWarningText& note : in->ReadNotes()) {
    if (ShortInputFails) throw EAuException(note.Text);
    AddWarning(note.Kind, note.Text);
    decodeLoss = decodeLoss || note.Kind == TAuWarning::DecodeLoss;
  }
  // An input that counts what it could not decode tells its shortfall itself.
  if (decodeLoss) return;
  const int64_t frame = int64_t{in->Channels()} * in->BitsPerSample() / 8;
  if (frame > 0) size -= size % frame;  // a partial last frame is not audio
  if (size <= 0 || delivered >= size) return;
  const double perSecond = static_cast<double>(in->SampleRate()) * static_cast<double>(frame);
  if (perSecond <= 0) return;
  const double missing = static_cast<double>(size - delivered) / perSecond;
  // A source that still had audio when the output stopped asking did not end
  // early: the output lost the rest, and the run has failed.
  if (!in->Ended())
    throw EAuException(warnings::OutputStoppedEarly(static_cast<double>(delivered) / perSecond,
                                                    static_cast<double>(size) / perSecond));
  // Decoders may end a few milliseconds before a length they estimate; a
  // length stated to the byte is exact.
  if (missing < 0.1 && !in->ExactSize()) return;
  const std::string text = warnings::SourceEndedEarly(missing, static_cast<double>(size) / perSecond);
  if (ShortInputFails) throw EAuException(text);
  AddWarning(TAuWarning::SourceEndedEarly, text);
}

void TAuOutput::AddWarning(TAuWarning Kind, const std::string& Text) {
  if (std::any_of(FWarnings.begin(), FWarnings.end(), [&](const TAuWarningText& W) { return W.Text == Text; })) return;
  FWarnings.push_back({Kind, Text});
  FWarningMessage += (FWarningMessage.empty() ? "" : "; ") + Text;
}

void TAuOutput::HandleFailure() {
  FErrorMessage = Worker->PendingMessage;
  FErrorDetail = Worker->PendingDetail;
  if (auto handler = OnThreadException()) handler(this);
}

TOutputDoneEvent TAuOutput::OnDone() const {
  std::lock_guard lock(FEventLock);
  return FOnDone;
}
void TAuOutput::SetOnDone(TOutputDoneEvent Value) {
  std::lock_guard lock(FEventLock);
  FOnDone = std::move(Value);
}
TOutputProgressEvent TAuOutput::OnProgress() const {
  std::lock_guard lock(FEventLock);
  return FOnProgress;
}
void TAuOutput::SetOnProgress(TOutputProgressEvent Value) {
  std::lock_guard lock(FEventLock);
  FOnProgress = std::move(Value);
}
TThreadExceptionEvent TAuOutput::OnThreadException() const {
  std::lock_guard lock(FEventLock);
  return FOnThreadException;
}
void TAuOutput::SetOnThreadException(TThreadExceptionEvent Value) {
  std::lock_guard lock(FEventLock);
  FOnThreadException = std::move(Value);
}

}  // namespace tonvale
