#pragma once
// Sorting the command line's sources into batches, one per source type, and
// refusing what must not run: files of no mode, outputs that two sources
// would share, and outputs that would replace a source of the run. Folders
// given as sources (with Recursive) contribute the files under them.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli/terminal_view.h"

namespace tonvale {

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
  const TPlannedFile* Find(const std::string& Source) const;
  std::map<std::string, size_t> FIndex;  // source -> position in Files
};

// The mode for a source with this extension and target, or 0.
int ModeFor(const std::string& Path, const std::string& Target);
// "wav-to-mp3" and the like.
std::string ModeName(int Mode);

// Output folders come from Settings; refused files are reported to View.
// A folder source without Recursive is refused.
TRunPlan PlanRun(const std::vector<std::string>& Sources, const std::string& Target, bool Recursive,
                 TTerminalView& View);

}  // namespace tonvale
