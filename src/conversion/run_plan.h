#pragma once
// The plan of a run: which sources convert in which mode to which output,
// in batches of one source type, and which are refused before anything
// starts: files of no mode, a source reached twice, an output that another
// source of the run already writes (the same file by any name or link), and
// an output that would replace a source. Folders given as sources contribute
// the files under them, their tree kept under the output folder.

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "conversion/batch_view.h"

namespace tonvale {

struct TPlanRequest {
  std::vector<std::string> Sources;  // files and folders, in order
  // Every source in one mode (the window's button); 0: each file's mode from
  // its extension and Target (the command line).
  int Mode = 0;
  std::string Target;  // "mp3", "wma" or "wav", with Mode 0
  // Folders contribute the files under them; without it a folder is refused.
  bool Recursive = false;
  // With Mode: a file given of another source type is refused (a drop)
  // rather than tried in that mode (a file chosen in the dialog).
  bool OtherTypesRefused = false;
  bool SameAsInputFolder = false;
  std::string OutputFolder;
  // Nothing is written, not even the probe of FoldsLetterCase.
  bool DryRun = false;
  // Whether a folder's file system folds letter case; FoldsLetterCase when
  // not given.
  using TFoldTest = std::function<bool(const std::string& Folder)>;
  TFoldTest FoldsCase;
};

struct TPlannedFile {
  std::string Source;
  int Mode = 0;
  std::string Output;
  std::string OutputFolder;  // with its trailing '/'
};

struct TRunPlan {
  // (mode, sources) in the order the types first appear.
  std::vector<std::pair<int, std::vector<std::string>>> Batches;
  std::vector<TPlannedFile> Files;  // every file that will be started, in order
  // The sources refused, failed or skipped, with the reason, in order.
  std::vector<TFileResult> Refused;
  const TPlannedFile* Find(const std::string& Source) const;
  // The output folder of a planned source; Fallback for others.
  std::string OutputFolderOf(const std::string& Source, const std::string& Fallback) const;

 private:
  friend TRunPlan PlanRun(const TPlanRequest& Request);
  std::map<std::string, size_t> FIndex;  // source -> position in Files
};

TRunPlan PlanRun(const TPlanRequest& Request);

// Whether names that differ only in letter case are one file in Folder (vfat,
// exfat, a case-folding ext4 folder): an entry is looked up by its other
// spelling, or, in an empty folder and with MayProbe, a hidden file made for
// the purpose and removed at once.
bool FoldsLetterCase(const std::string& Folder, bool MayProbe);

// The mode for a source with this extension and target, or 0.
int ModeFor(const std::string& Path, const std::string& Target);
// "wav-to-mp3" and the like.
std::string ModeName(int Mode);
// The extension of a mode's sources: "wav", "mp3" or "wma"; empty for others.
std::string SourceType(int Mode);
// Whether Path's extension, in any letter case, is that of Mode's sources.
bool OfSourceType(const std::string& Path, int Mode);

}  // namespace tonvale
