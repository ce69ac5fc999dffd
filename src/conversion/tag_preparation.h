#pragma once
// What happens to the pending tag values when a conversion starts, shared by
// the window and the command line.

#include <string>
#include <vector>

namespace tonvale {

class TId3v2Tags;

// Empties TagValues; for a single source takes its file name as the title
// and, for MP3 and WMA sources (modes 9 and 10), the source's own tags.
// Errors while reading the source's tags propagate.
void PrepareTagValues(int Mode, const std::vector<std::string>& Files);

// Fills TagValues from a source's ID3v2 set (title only when not empty).
void TagValuesFromSource(TId3v2Tags& Source, bool KeepTitleWhenEmpty);

// Whether the tag editor is shown for this start: for one file when the
// settings ask for it, for several when the same tag is wanted, and never for
// WAV targets.
bool TagEditorWanted(int Mode, size_t FileCount);

// "the output folder does not exist.Please check the output directory setting."
extern const char* const kMissingOutputFolder;
// Whether a conversion may start: each output beside its source, or an
// existing output folder.
bool CheckOutputFolder();

}  // namespace tonvale
