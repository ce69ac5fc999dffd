#pragma once
// Sorting the command line's sources into batches, one per source type, and
// refusing what must not run: files of no mode, outputs that two sources
// would share, and outputs that would replace a source of the run.

#include <string>
#include <utility>
#include <vector>

#include "cli/terminal_view.h"

namespace tonvale {

struct TRunPlan {
  // (mode, sources) in the order the types first appear.
  std::vector<std::pair<int, std::vector<std::string>>> Batches;
};

// The mode for a source with this extension and target, or 0.
int ModeFor(const std::string& Path, const std::string& Target);

// Output folders come from Settings; refused files are reported to View.
TRunPlan PlanRun(const std::vector<std::string>& Files, const std::string& Target, TTerminalView& View);

}  // namespace tonvale
