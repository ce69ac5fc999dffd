#pragma once
// What happens to the pending tag values when a conversion starts, shared by
// the window and the command line.

#include <string>
#include <vector>

namespace tonvale {

class TId3v2Tags;
struct TSettings;

struct TTagValues;

// The tag values a conversion starts from: empty; for a single source its
// file name as the title and, for MP3, WMA and WAV sources converted to MP3
// or WMA, the source's own tags. Errors while reading the source's tags propagate.
TTagValues PreparedTagValues(int Mode, const std::vector<std::string>& Files);

// Fills Values from a source's ID3v2 set (the title only when not empty with
// KeepTitleWhenEmpty).
void TagValuesFromSource(TId3v2Tags& Source, bool KeepTitleWhenEmpty, TTagValues& Values);

// Lays the values Source has over Values, keeping those it has not (a WAV
// source's tags over the run's values).
void AddSourceTags(TId3v2Tags& Source, TTagValues& Values);

// Whether the tag editor is shown for this start: for one file when the
// settings ask for it, for several when the same tag is wanted, and never for
// WAV targets.
bool TagEditorWanted(int Mode, size_t FileCount, const TSettings& From);

// "the output folder does not exist.Please check the output directory setting."
extern const char* const kMissingOutputFolder;
// Whether a conversion may start: each output beside its source, or an
// existing output folder (the default one is made when first needed).
bool CheckOutputFolder(const TSettings& From);
bool CheckOutputFolder();

}  // namespace tonvale
