#include "cli/run_plan.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "conversion/conversion_modes.h"
#include "settings/settings.h"

namespace tonvale {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string S) {
  for (char& c : S) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return S;
}

std::string Extension(const std::string& Path) {
  const std::string name = FileNamePart(Path);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? "" : Lower(name.substr(dot + 1));
}

// One spelling per path: absolute, without "." and "..".
std::string Key(const std::string& Path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(Path, ec);
  return (ec ? fs::path(Path) : absolute).lexically_normal().string();
}

// Whether writing Output would replace Source: the same name, or the same
// file reached through a link or another name.
bool Replaces(const std::string& Output, const std::string& Source) {
  if (Key(Output) == Key(Source)) return true;
  std::error_code ec;
  return fs::equivalent(Output, Source, ec);
}

}  // namespace

int ModeFor(const std::string& Path, const std::string& Target) {
  static const std::map<std::pair<std::string, std::string>, int> modes = {
      {{"wav", "mp3"}, cmWavToMp3}, {{"wav", "wma"}, cmWavToWma}, {{"mp3", "wav"}, cmMp3ToWav},
      {{"wma", "wav"}, cmWmaToWav}, {{"mp3", "wma"}, cmMp3ToWma}, {{"wma", "mp3"}, cmWmaToMp3}};
  auto it = modes.find({Extension(Path), Target});
  return it == modes.end() ? 0 : it->second;
}

TRunPlan PlanRun(const std::vector<std::string>& Files, const std::string& Target, TTerminalView& View) {
  TRunPlan plan;
  std::map<std::string, std::string> claimed;  // output key -> the source that writes it
  for (const auto& file : Files) {
    if (Extension(file) == Target) {
      View.Skip(file, "it is already a ." + Target + " file");
      continue;
    }
    const int mode = ModeFor(file, Target);
    if (mode == 0) {
      View.Fail(file, "cannot convert this file to " + Target + ": its extension is not .wav, .mp3 or .wma");
      continue;
    }
    const std::string folder = Settings.SameAsInputFolder ? FolderPart(file) : Settings.OutputFolder;
    const std::string output = OutputPath(file, folder, mode);
    auto earlier = claimed.find(Key(output));
    if (earlier != claimed.end()) {
      View.Fail(file, "its output " + output + " is already written in this run, from " + earlier->second);
      continue;
    }
    auto source = std::find_if(Files.begin(), Files.end(), [&](const std::string& S) { return Replaces(output, S); });
    if (source != Files.end()) {
      View.Fail(file, "its output " + output + " would replace " + *source + ", a source of this run");
      continue;
    }
    claimed.emplace(Key(output), file);
    auto batch = std::find_if(plan.Batches.begin(), plan.Batches.end(), [&](const auto& b) { return b.first == mode; });
    if (batch == plan.Batches.end()) batch = plan.Batches.insert(plan.Batches.end(), {mode, {}});
    batch->second.push_back(file);
  }
  return plan;
}

}  // namespace tonvale
