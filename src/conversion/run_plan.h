#pragma once
// The plan of a run: which sources convert in which mode to which output, and
// which are refused before anything starts: files of no mode, a source
// reached twice, an output that another source of the run already writes
// (the same file by any name or link), and an output that would replace a
// source. Folders given as sources contribute the files under them, their
// tree kept under the output folder. The plan is worked out once; the lanes
// convert what it says.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "conversion/conversion_modes.h"
#include "conversion/file_identity.h"
#include "conversion/file_result.h"

namespace tonvale {

struct TPlanRequest {
  std::vector<std::string> Sources;  // files and folders, in order
  // Every source in one mode (the window's button); cmNone: each file's mode
  // from its extension and Target (the command line).
  TConversionMode Mode = cmNone;
  std::string Target;  // "mp3", "wma" or "wav", with cmNone
  // Folders contribute the files under them; without it a folder is refused.
  bool Recursive = false;
  // With Mode: a file given of another source type is refused (a drop);
  // without, only one of another known type is (skipped when already of the
  // target type, as the command line does), and one of an extension of no
  // mode is tried in the mode (a file chosen in the dialog).
  bool OtherTypesRefused = false;
  // A folder given lands under its own name in the output folder, as a file
  // manager copies it (a drop); otherwise its files land there directly.
  bool FolderNamesKept = false;
  bool SameAsInputFolder = false;
  std::string OutputFolder;
  // Nothing is written, not even the probe of FoldsLetterCase.
  bool DryRun = false;
  // Whether a folder's file system folds letter case; FoldsLetterCase when
  // not given.
  TFileIdentity::TFoldTest FoldsCase;
};

struct TPlannedFile {
  std::string Source;
  std::string SourceKey;  // its identity when planned
  TConversionMode Mode = cmNone;
  std::string OutputFolder;  // with its trailing '/'
  std::string Output;
  bool OutputExisted = false;  // something stood at Output when planned
};

struct TRunPlan {
  std::vector<TPlannedFile> Files;  // every file that will be started, in order
  // The sources refused, failed or skipped, with the reason, in order.
  std::vector<TFileResult> Refused;
  // The modes of the files, in the order they first appear.
  std::vector<TConversionMode> Modes() const;
  // The files of one mode, in order.
  std::vector<TPlannedFile> FilesOf(TConversionMode Mode) const;
  // The source of the run that writing Output would replace now, or null.
  const std::string* Replaced(const std::string& Output) const;

 private:
  friend TRunPlan PlanRun(const TPlanRequest& Request);
  // The identity of every source (what no output may replace) and the first
  // source of that file.
  std::map<std::string, std::string> FSources;
};

TRunPlan PlanRun(const TPlanRequest& Request);

}  // namespace tonvale
