#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iterator>
#include <vector>

#include "cli/refusal.h"
#include "cli/stop_signal.h"
#include "platform/build_id.h"
#include "settings/settings.h"
#include "settings/tag_values.h"
#include "tags/genre_list.h"

namespace tonvale {

const char* const kTitleForOneFile = "--title takes one file: each output keeps its own name as title";

namespace {

// The MP3 and WMA encoder's options.
void AddEncoderOptions(CLI::App& app, TCliOptions& O) {
  app.add_option("--bitrate", O.Bitrate, "MP3 constant bit rate, kbit/s")
      ->check(CLI::IsMember(std::vector<int>(std::begin(kConstantBitRatesKbps), std::end(kConstantBitRatesKbps))));
  app.add_flag("--vbr", O.Vbr, "MP3 variable bit rate");
  app.add_option("--vbr-quality", O.VbrQuality, "MP3 VBR quality, 0 (best) to 9")->check(CLI::Range(0, 9));
  app.add_option("--vbr-min", O.VbrMin, "MP3 VBR lowest bit rate, kbit/s")->check(CLI::Range(8, 320));
  app.add_option("--vbr-max", O.VbrMax, "MP3 VBR highest bit rate, kbit/s")->check(CLI::Range(8, 320));
  // Every MP3 output has the Xing or Info frame, which LAME's gapless
  // figures need; the option of earlier versions is still taken, unlisted.
  app.add_flag("--vbr-header")->group("");
  app.add_flag("--no-id3v2", O.NoId3v2, "Write only the ID3v1 tag on MP3 outputs (no ID3v2 tag)");
  app.add_flag("--no-segments", O.NoSegments, "Encode every MP3 in one pass, even a long WAV on idle cores");
  app.add_option("--channel-mode", O.ChannelMode, "MP3 channel mode")
      ->check(CLI::IsMember({"stereo", "joint", "dual", "mono"}, CLI::ignore_case));
  app.add_option("--wma-codec", O.WmaCodec, "WMA codec index (see --list-wma-formats)")->check(CLI::NonNegativeNumber);
  app.add_option("--wma-format", O.WmaFormat, "WMA format index within the codec")->check(CLI::NonNegativeNumber);
}

// The tag values' options.
void AddTagOptions(CLI::App& app, TCliOptions& O) {
  app.add_option("--title", O.Title, "Tag: title (a run of one file only, also under -r)");
  app.add_option("--artist", O.Artist, "Tag: artist");
  app.add_option("--album", O.Album, "Tag: album");
  app.add_option("--year", O.Year, "Tag: year");
  app.add_option("--genre", O.Genre, "Tag: genre, a name from the genre list");
  app.add_option("--track", O.Track, "Tag: track number");
  app.add_option("--comment", O.Comment, "Tag: comment");
}

}  // namespace

std::optional<int> ParseCommandLine(int Argc, char** Argv, TCliOptions& O) {
  CLI::App app{"Tonvale: converts WAV, MP3 and WMA files, carrying their tags.", "tonvale-cli"};
  app.footer(
      "The mode of each file comes from its extension and --to: WAV to MP3 or WMA, MP3 to WAV or WMA,\n"
      "WMA to WAV or MP3. WAV sources: PCM of 8 to 32 bits, 32- and 64-bit float, extensible formats of\n"
      "1 to 8 channels (down-mixed), RF64 and BW64, A-law and mu-law (plain or extensible), GSM 6.10,\n"
      "IMA and Microsoft ADPCM (with or without a fact chunk), MPEG Layer-3 data; chunks before the data\n"
      "are walked wherever they lie.\n"
      "Settings come from the window's options.ini; options override them for this run.\n"
      "Exit status: 0 all converted or skipped, 1 some failed, 2 usage error or missing output folder,\n"
      "129, 130 or 143 when stopped by SIGHUP, SIGINT or SIGTERM, 141 when standard output closed.");
  app.add_option("--to", O.Target, "Target format")->check(CLI::IsMember({"mp3", "wma", "wav"}, CLI::ignore_case));
  app.add_option("files", O.Files, "Source files (.wav, .mp3, .wma)");
  app.add_option("-o,--output-folder", O.OutputFolder, "Folder that receives the outputs");
  app.add_flag("--same-folder", O.SameFolder, "Write each output beside its source");
  AddEncoderOptions(app, O);
  app.add_flag("--list-wma-formats", O.ListWmaFormats, "List the WMA codecs and their formats, then exit");
  app.add_flag("--list-genres", O.ListGenres, "List the genre names --genre takes, then exit");
  AddTagOptions(app, O);
  bool yes = false, no = false;
  auto* y = app.add_flag("-y,--overwrite", yes, "Replace existing outputs");
  app.add_flag("-n,--no-overwrite", no, "Skip existing outputs")->excludes(y);
  app.add_flag("-q,--quiet", O.Quiet, "No progress on standard error");
  app.add_option("-j,--jobs", O.Jobs,
                 "Files converted at the same time, 0 for one per available core (default: Jobs in options.ini)")
      ->check(CLI::Range(0, kMaxJobs));
  app.add_flag("-r,--recursive", O.Recursive,
               "Folders given as sources contribute every file under them; with -o the tree is kept");
  app.add_flag("--strict", O.Strict,
               "Only clean outputs: a warning (a source that ends early or could not be decoded whole, a tag value "
               "no tag keeps whole) fails its file, and a failed file leaves no partial output");
  app.add_flag("--json", O.Json, "Standard output carries one JSON object describing the run");
  app.add_flag("--dry-run", O.DryRun, "Show what would be done and write nothing");
  app.add_flag("--version", O.Version, "Print the version and build, then exit");
  // Known before the options are read, so that an error in them is JSON too.
  bool json = false;
  for (int i = 1; i < Argc && std::string(Argv[i]) != "--"; ++i) json = json || std::string(Argv[i]) == "--json";
  auto usage = [json](const std::string& Message) {
    const int status = Refuse(json, "usage", Message);
    SayOnError("Run with --help for usage.\n");
    return status;
  };
  try {
    app.parse(Argc, Argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return usage(e.what());
  }
  O.Overwrite = yes ? TOverwritePolicy::Always : no ? TOverwritePolicy::Never : TOverwritePolicy::Ask;
  for (char& c : O.Target) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (O.ChannelMode)
    for (char& c : *O.ChannelMode) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (O.Version) {
    std::printf("tonvale-cli %s (build %s)\n", ProgramVersion(), ProgramBuild());
    return 0;
  }
  if (O.ListGenres) {
    for (const char* genre : GenreList)
      if (*genre) std::printf("%s\n", genre);
    return 0;
  }
  if (O.ListWmaFormats) return std::nullopt;
  if (O.Target.empty()) return usage("--to is required");
  if (O.Files.empty()) return usage("no files given");
  if (O.Title && O.Files.size() > 1) return usage(kTitleForOneFile);
  if (O.Genre && GenreNameToIndex(*O.Genre) < 0) return usage("unknown genre: " + *O.Genre);
  if (O.VbrMin && O.VbrMax && *O.VbrMin > *O.VbrMax)
    return usage("--vbr-min " + std::to_string(*O.VbrMin) + " is above --vbr-max " + std::to_string(*O.VbrMax));
  if (O.SameFolder && O.OutputFolder) return usage("--same-folder and -o exclude each other");
  return std::nullopt;
}

}  // namespace tonvale
