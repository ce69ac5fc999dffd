// tonvale-cli: the batch converter on the command line.

#include <csignal>
#include <cstdio>
#include <map>

#include "audio/winmedia/wma_out.h"
#include "cli/cli_options.h"
#include "cli/terminal_view.h"
#include "conversion/batch_driver.h"
#include "conversion/conversion_modes.h"
#include "conversion/tag_preparation.h"
#include "platform/ui_thread.h"
#include "settings/settings.h"
#include "settings/tag_values.h"

using namespace tonvale;

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }

std::string Lower(std::string S) {
  for (char& c : S) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return S;
}

// The mode for a source with this extension, or 0.
int ModeFor(const std::string& Path, const std::string& Target) {
  const std::string name = FileNamePart(Path);
  const size_t dot = name.find_last_of('.');
  const std::string ext = dot == std::string::npos ? "" : Lower(name.substr(dot + 1));
  static const std::map<std::pair<std::string, std::string>, int> modes = {
      {{"wav", "mp3"}, cmWavToMp3}, {{"wav", "wma"}, cmWavToWma}, {{"mp3", "wav"}, cmMp3ToWav},
      {{"wma", "wav"}, cmWmaToWav}, {{"mp3", "wma"}, cmMp3ToWma}, {{"wma", "mp3"}, cmWmaToMp3}};
  auto it = modes.find({ext, Target});
  return it == modes.end() ? 0 : it->second;
}

void ApplySettings(const TCliOptions& O) {
  if (O.OutputFolder) Settings.OutputFolder = *O.OutputFolder;
  if (O.SameFolder) Settings.SameAsInputFolder = true;
  if (O.Bitrate) {
    static const int rates[] = {48, 56, 64, 80, 96, 128, 192, 256, 320};
    for (int i = 0; i < 9; ++i)
      if (rates[i] == *O.Bitrate) Settings.ConstantBitRate = i;
  }
  if (O.Vbr) Settings.IsSelectVBR = true;
  if (O.VbrQuality) Settings.VBRQuality = *O.VbrQuality;
  if (O.VbrMin) Settings.BitRate = *O.VbrMin;
  if (O.VbrMax) Settings.MaxBitRate = *O.VbrMax;
  if (O.VbrHeader) Settings.IsVBRHead = true;
  if (O.ChannelMode) {
    static const std::map<std::string, int> modes = {{"stereo", 0}, {"joint", 1}, {"dual", 2}, {"mono", 3}};
    Settings.StereoMode = modes.at(*O.ChannelMode);
  }
  if (O.WmaCodec) Settings.CodecIndex = *O.WmaCodec;
  if (O.WmaFormat) Settings.FormatIndex = *O.WmaFormat;
}

bool HasTagOptions(const TCliOptions& O) {
  return O.Title || O.Artist || O.Album || O.Year || O.Genre || O.Track || O.Comment;
}

// The tag editor, confirmed with the given values over the prefilled ones.
void ApplyTagOptions(const TCliOptions& O) {
  if (O.Title) TagValues.TagTitle = *O.Title;
  if (O.Artist) TagValues.TagArtist = *O.Artist;
  if (O.Album) TagValues.TagAlbum = *O.Album;
  if (O.Year) TagValues.TagYear = *O.Year;
  if (O.Genre) TagValues.TagGenreIndex = GenreNameToIndex(*O.Genre);
  if (O.Track) TagValues.TagTrack = *O.Track;
  if (O.Comment) TagValues.TagComment = *O.Comment;
  Settings.IsShowTagEditor = true;
}

int ListWmaFormats() {
  TWMAOut out(nullptr);
  for (size_t c = 0; c < out.Codecs().size(); ++c) {
    std::printf("codec %zu: %s\n", c, out.Codecs()[c].c_str());
    const auto& formats = out.Formats(static_cast<uint16_t>(c));
    for (size_t f = 0; f < formats.size(); ++f) std::printf("  %3zu  %s\n", f, formats[f].c_str());
  }
  return 0;
}

// Runs one batch of files of one source type.
void RunBatch(int Mode, const std::vector<std::string>& Files, const TCliOptions& O, TTerminalView& View) {
  try {
    PrepareTagValues(Mode, Files);
  } catch (const std::exception& e) {
    for (const auto& f : Files) View.Fail(f, e.what());
    return;
  }
  if (HasTagOptions(O)) ApplyTagOptions(O);
  TBatchDriver driver(View, Files);
  driver.Mode = Mode;
  driver.SetDoneDelay(0);
  while (!driver.Closed()) {
    if (gInterrupted) driver.bStopClick();
    ui_thread::WaitAndProcess(std::chrono::milliseconds(100));
  }
}

}  // namespace

int main(int argc, char** argv) {
  TCliOptions options;
  if (auto exitCode = ParseCommandLine(argc, argv, options)) return *exitCode;
  ui_thread::Initialise();
  try {
    if (options.ListWmaFormats) return ListWmaFormats();
    LoadSettings();
    ApplySettings(options);
    if (!CheckOutputFolder()) {
      std::fprintf(stderr, "%s\n", kMissingOutputFolder);
      return 2;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    TTerminalView view(options.Overwrite, options.Quiet);
    // One batch per source type, in the order the types first appear.
    std::vector<std::pair<int, std::vector<std::string>>> batches;
    for (const auto& file : options.Files) {
      const int mode = ModeFor(file, options.Target);
      if (mode == 0) {
        view.Fail(file, "cannot convert this file to " + options.Target + ": its extension is not .wav, .mp3 or .wma, "
                        "or it is already one");
        continue;
      }
      auto it = std::find_if(batches.begin(), batches.end(), [&](const auto& b) { return b.first == mode; });
      if (it == batches.end()) it = batches.insert(batches.end(), {mode, {}});
      it->second.push_back(file);
    }
    for (const auto& [mode, files] : batches) {
      if (gInterrupted) break;
      RunBatch(mode, files, options, view);
    }
    view.PrintSummary();
    return view.Failed() > 0 ? 1 : 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tonvale-cli: %s\n", e.what());
    return 1;
  }
}
