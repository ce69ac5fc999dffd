#pragma once
// What is checked of a planned file before a byte of its output is written,
// the same for a run and for a dry run: the file it names is still there,
// its output is no source of the run, its source opens as audio that can be
// converted, and, when only clean outputs are wanted, its tags lose nothing.

#include <optional>
#include <string>

#include "audio/core/au_file_in.h"
#include "conversion/file_result.h"
#include "conversion/run_plan.h"
#include "conversion/run_values.h"
#include "settings/tag_values.h"

namespace tonvale {

// Why File cannot be started, or nullopt. Input is the mode's reader: on
// return it has the source open (when nullopt) and Tags holds the file's tag
// values (its own source's where a batch carries each file's tags).
std::optional<TFileResult> FileProblem(const TPlannedFile& File, const TRunValues& Values, const TRunPlan& Plan,
                                       TAuFileIn& Input, TTagValues& Tags);

// Why no file can be put at Output, or empty: a path too long for the
// system (with the hidden name it is written under), or a folder standing
// there that is to be replaced.
std::string OutputPlaceProblem(const std::string& Output, TOverwritePolicy Overwrite);

// Why Input, just opened on Source, cannot be converted; empty when it can.
std::string Unreadable(TAuFileIn& Input, const std::string& Source, TReason& Reason);

}  // namespace tonvale
