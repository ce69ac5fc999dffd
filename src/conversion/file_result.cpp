#include "conversion/file_result.h"

namespace tonvale {

std::string TFileResult::WarningText(TWarningKind Kind) const {
  std::string text;
  for (const TWarning& w : Warnings)
    if (w.Kind == Kind) text += (text.empty() ? "" : "; ") + w.Text;
  return text;
}

const char* OutcomeName(TFileOutcome Outcome) {
  switch (Outcome) {
    case TFileOutcome::Converted: return "converted";
    case TFileOutcome::Skipped: return "skipped";
    case TFileOutcome::Failed: return "failed";
    case TFileOutcome::NotStarted: return "not started";
  }
  return "";
}

const char* ReasonName(TReason Reason) {
  switch (Reason) {
    case TReason::None: return "";
    case TReason::AlreadyTargetType: return "already of the target type";
    case TReason::NotSourceType: return "not of the source type";
    case TReason::UnknownType: return "unknown type";
    case TReason::IsFolder: return "is a folder";
    case TReason::FolderUnreadable: return "folder unreadable";
    case TReason::GivenTwice: return "given twice";
    case TReason::CollidesWithOutput: return "collides with an earlier output";
    case TReason::WouldReplaceSource: return "would replace a source";
    case TReason::NoSuchFile: return "no such file";
    case TReason::CannotRead: return "cannot read";
    case TReason::Unsupported: return "unsupported audio";
    case TReason::TagLoss: return "tag loss";
    case TReason::OutputExists: return "output exists";
    case TReason::OutputUnwritable: return "output cannot be written";
    case TReason::AppearedWhileConverting: return "appeared while converting";
    case TReason::ConversionFailed: return "conversion failed";
    case TReason::Stopped: return "stopped";
    case TReason::RunStopped: return "run stopped";
  }
  return "";
}

}  // namespace tonvale
