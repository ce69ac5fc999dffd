#pragma once
// How each file of a run ends: one outcome, the kind of its reason and the
// text for people, and the warnings of a converted file. Faces branch on the
// kinds; the texts are only shown.

#include <string>
#include <vector>

namespace tonvale {

enum class TFileOutcome { Converted, Skipped, Failed, NotStarted };

enum class TReason {
  None,
  // Known when the run is planned.
  AlreadyTargetType,   // the source is already of the type asked for
  NotSourceType,       // a drop of another type on a mode's button
  UnknownType,         // an extension of no mode
  IsFolder,            // a folder given without recursion
  FolderUnreadable,    // a folder whose files could not be listed
  GivenTwice,          // a source reached before by another name or path
  CollidesWithOutput,  // its output is written by an earlier source
  WouldReplaceSource,  // its output is a source of the run
  // Known when the file is looked at, before anything is written.
  NoSuchFile,
  CannotRead,        // not audio that can be decoded, or an I/O error
  Unsupported,       // audio of a kind that is refused (channels, rate)
  TagLoss,           // strict: a tag value that no tag of the output keeps
  OutputExists,      // the output stands there and is not to be replaced
  OutputUnwritable,  // no file can be put at the output's path (a folder there, a path too long)
  // Known while or after converting.
  AppearedWhileConverting,
  ConversionFailed,  // the decoder, the encoder or the output file failed
  Stopped,           // stopped while converting
  RunStopped,        // never started: the run was stopped first
};

// TagsShortened: a value lost from every tag of the output; Id3v1Shortened:
// cut in the ID3v1 tag only, another tag keeping it whole.
enum class TWarningKind { SourceEndedEarly, SamplesClipped, TagsShortened, Id3v1Shortened, Other };

struct TWarning {
  TWarningKind Kind;
  std::string Text;
  bool operator==(const TWarning&) const = default;
};

struct TFileResult {
  std::string Source;
  std::string Output;  // empty when no output path was reached
  TFileOutcome Outcome = TFileOutcome::Failed;
  TReason Reason = TReason::None;
  std::string Message{};  // why it failed or was skipped
  std::vector<TWarning> Warnings{};

  bool Declined() const { return Reason == TReason::OutputExists; }
  // The text of the warnings of Kind, joined with "; "; empty when none.
  std::string WarningText(TWarningKind Kind) const;
};

// "converted", "skipped", "failed" or "not started".
const char* OutcomeName(TFileOutcome Outcome);
// A short stable name of a reason kind ("given twice", "output exists").
const char* ReasonName(TReason Reason);

}  // namespace tonvale
