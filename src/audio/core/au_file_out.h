#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/core/au_streamed_output.h"

namespace tonvale {

enum TFileOutputMode { foRewrite, foAppend };

// An output writing a file.
//
// A new file is written under a temporary name beside FileName (a hidden
// ".<name>.tonvale-XXXXXX", the name shortened when it would not fit),
// created only once the encoder and the input are set up. A finished run
// renames it over FileName. A run that fails or is stopped gives the partial
// file the final name when no file of that name existed and some audio was
// written; otherwise the temporary file is removed and the existing file
// stays as it was. A set-up failure leaves no file at all, and so does a
// source that gives no audio: that run fails.
class TAuFileOut : public TAuStreamedOutput {
 public:
  explicit TAuFileOut(TAuComponent* Owner) : TAuStreamedOutput(Owner) { NoAudioFails = true; }
  ~TAuFileOut() override;

  const std::string& FileName() const { return FFileName; }
  // Allowed at any time; takes effect at the next Prepare.
  void SetFileName(const std::string& Value) { FFileName = Value; }

  TFileOutputMode FileMode() const { return FFileMode; }
  // Outputs that cannot append stay in rewrite mode: this level ignores Value.
  virtual void SetFileMode(TFileOutputMode Value);

  // When set, a finished run leaves its file under the temporary name until
  // CommitFile, so that more can be written into it first (the ID3v1 tag).
  bool HoldFinishedFile = false;
  // Whether the final name may replace a file standing there: as found (a
  // file that stood there when the run began is replaced), always, or never
  // (nobody was asked about one that appeared meanwhile). Where it may not,
  // the rename refuses: the new file is removed and Appeared() tells so.
  enum TReplaceRule { rrAsFound, rrNever, rrAlways };
  TReplaceRule Replace = rrAsFound;
  // A failed run leaves no partial file, even where none stood before.
  bool KeepNoPartial = false;
  bool Appeared() const { return FAppeared; }
  // The file the last run's data is in: the temporary file while it is held.
  std::string WrittenFileName() const { return FHeldFile.empty() ? FFileName : FHeldFile; }
  // Renames a held file over FileName; Complete false settles it as a failed
  // run does. Returns an empty string, or the reason the rename failed.
  std::string CommitFile(bool Complete = true);

 protected:
  // Creates the temporary file for FileName and returns a stream on it.
  // Raises "Cannot create file <name>: <reason>".
  std::unique_ptr<TStream> CreateOutputFile();
  // Settles the temporary file once its stream is closed. Raises when a
  // finished file cannot take its name.
  void SettleOutputFile(bool Complete);
  // rename that fails with EEXIST where a file stands.
  static int RenameNoReplace(const std::string& From, const std::string& To);
  // Removes the temporary file of a run whose set-up failed.
  void DiscardOutputFile();
  // Told by the concrete output once audio (not only a header or a tag) is
  // in the file: a failed run without any leaves no file behind.
  void NoteAudioWritten() { FAudioWritten = true; }
  // The temporary file being written, empty when none is.
  const std::string& WrittenTempName() const { return FTempFile; }

  std::string FFileName;
  TFileOutputMode FFileMode = foRewrite;

 private:
  std::string FTempFile;  // the file being written, until settled
  std::string FTarget;    // the name it is to take
  bool FTargetExisted = false;
  int FTargetMode = -1;  // the permissions of the file replaced, if any
  bool FAudioWritten = false;
  bool FAppeared = false;
  std::string FHeldFile;  // a finished file waiting for CommitFile
};

}  // namespace tonvale
