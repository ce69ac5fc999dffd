#pragma once
// The command line of tonvale-cli.

#include <optional>
#include <string>
#include <vector>

#include "cli/terminal_view.h"

namespace tonvale {

struct TCliOptions {
  std::string Target;  // "mp3", "wma" or "wav"
  std::vector<std::string> Files;
  std::optional<std::string> OutputFolder;
  bool SameFolder = false;
  std::optional<int> Bitrate, VbrQuality, VbrMin, VbrMax, WmaCodec, WmaFormat;
  bool Vbr = false, NoId3v2 = false, NoSegments = false;
  std::optional<std::string> ChannelMode;
  std::optional<std::string> Title, Artist, Album, Year, Genre, Track, Comment;
  TOverwritePolicy Overwrite = TOverwritePolicy::Ask;
  bool Quiet = false;
  bool ListWmaFormats = false;
  bool ListGenres = false;
  // Files converted at the same time (0: one per available core); the
  // settings' Jobs when not given.
  std::optional<int> Jobs;
  bool Recursive = false;
  bool Json = false;
  bool Strict = false;
  bool DryRun = false;
  bool Version = false;
};

// Why --title is refused for a run of several files.
extern const char* const kTitleForOneFile;

// Parses the arguments. On a usage error or a help request prints what it
// has to and returns the exit status to end with; otherwise nullopt.
std::optional<int> ParseCommandLine(int Argc, char** Argv, TCliOptions& Options);

}  // namespace tonvale
