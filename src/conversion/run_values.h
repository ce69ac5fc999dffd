#pragma once
// The values one run converts with, taken when it starts: the settings, the
// tag values and the caller's own tag values laid over them. Lanes read this
// value only, so a later change of the process-wide records (or another
// run's) never reaches a running batch.

#include <optional>
#include <string>

#include "settings/settings.h"
#include "settings/tag_values.h"

namespace tonvale {

// Tag values given for a whole run (the command line's tag options): each one
// given replaces the prepared value, also where a file brings its own tags.
struct TTagOverrides {
  std::optional<std::string> Title, Artist, Album, Year, Track, Comment;
  std::optional<int> GenreIndex;

  bool Any() const;
  void ApplyTo(TTagValues& Values) const;
};

// What happens where an output stands already: asked (the view's question),
// replaced, or kept and the file skipped.
enum class TOverwritePolicy { Ask, Always, Never };

struct TRunValues {
  TSettings Settings;
  TTagValues Tags;  // the values every file starts from
  TTagOverrides Overrides;
  // Whether the tag values reach WMA outputs (the window: when the tag editor
  // is in use; the command line: also when tag options are given).
  bool TagsToWma = false;
  // A file that appears under an output's name while it converts (nobody was
  // asked about it) is replaced: the command line's -y. Otherwise the output
  // is skipped and that file kept.
  bool ReplaceAppearing = false;
  // Only clean outputs: a warning fails its file, and a failed file leaves no
  // partial output (the command line's --strict).
  bool Strict = false;
  TOverwritePolicy Overwrite = TOverwritePolicy::Ask;
  // Files converted at the same time: 0 one per available core.
  int Jobs = 0;
  // Each file of the batch takes its own source's tags (several MP3 or WMA
  // sources without the same tag for all); set for each batch.
  bool PerFileTags = false;

  // The process-wide Settings and TagValues as they stand now, taken once
  // when a run starts.
  static TRunValues Current();
};

}  // namespace tonvale
