#include "cli/run_plan.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "conversion/conversion_modes.h"
#include "conversion/source_set.h"
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

std::string WithSlash(std::string Folder) {
  if (!Folder.empty() && Folder.back() != '/') Folder += '/';
  return Folder;
}

struct TSource {
  std::string Path;
  std::string Subfolder;  // below the folder given, for the output tree
};

// The files under Root whose extension gives a mode for Target, in name
// order; hidden files and folders are skipped and links to folders are not
// followed.
void Walk(const std::string& Root, const std::string& Target, std::vector<TSource>& Out) {
  std::vector<TSource> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(Root, fs::directory_options::skip_permission_denied, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    const bool hidden = p.filename().string().rfind('.', 0) == 0;
    std::error_code sec;
    const bool link = it->is_symlink(sec);
    if (it->is_directory(sec)) {
      if (hidden || link) it.disable_recursion_pending();
      continue;
    }
    if (hidden || !it->is_regular_file(sec) || ModeFor(p.string(), Target) == 0) continue;
    const std::string relative = p.parent_path().lexically_relative(Root).string();
    found.push_back({p.string(), relative == "." ? "" : WithSlash(relative)});
  }
  std::sort(found.begin(), found.end(), [](const TSource& A, const TSource& B) { return A.Path < B.Path; });
  Out.insert(Out.end(), found.begin(), found.end());
}

}  // namespace

int ModeFor(const std::string& Path, const std::string& Target) {
  static const std::map<std::pair<std::string, std::string>, int> modes = {
      {{"wav", "mp3"}, cmWavToMp3}, {{"wav", "wma"}, cmWavToWma}, {{"mp3", "wav"}, cmMp3ToWav},
      {{"wma", "wav"}, cmWmaToWav}, {{"mp3", "wma"}, cmMp3ToWma}, {{"wma", "mp3"}, cmWmaToMp3}};
  auto it = modes.find({Extension(Path), Target});
  return it == modes.end() ? 0 : it->second;
}

std::string ModeName(int Mode) {
  switch (Mode) {
    case cmWavToMp3: return "wav-to-mp3";
    case cmWavToWma: return "wav-to-wma";
    case cmMp3ToWav: return "mp3-to-wav";
    case cmWmaToWav: return "wma-to-wav";
    case cmMp3ToWma: return "mp3-to-wma";
    case cmWmaToMp3: return "wma-to-mp3";
    default: return "";
  }
}

const TPlannedFile* TRunPlan::Find(const std::string& Source) const {
  auto it = FIndex.find(Source);
  return it == FIndex.end() ? nullptr : &Files[it->second];
}

TRunPlan PlanRun(const std::vector<std::string>& Arguments, const std::string& Target, bool Recursive,
                 TTerminalView& View) {
  std::vector<TSource> sources;
  for (const auto& a : Arguments) {
    std::error_code ec;
    if (fs::is_directory(a, ec)) {
      if (Recursive)
        Walk(a, Target, sources);
      else
        View.Fail(a, "is a folder: give -r to convert the files under it");
      continue;
    }
    sources.push_back({a, ""});
  }
  std::vector<std::string> all;
  for (const auto& s : sources) all.push_back(s.Path);
  const TSourceSet everySource(all);

  TRunPlan plan;
  std::map<std::string, std::string> claimed;  // output key -> the source that writes it
  for (const auto& [file, subfolder] : sources) {
    if (Extension(file) == Target) {
      View.Skip(file, "it is already a ." + Target + " file");
      continue;
    }
    const int mode = ModeFor(file, Target);
    if (mode == 0) {
      View.Fail(file, "cannot convert this file to " + Target + ": its extension is not .wav, .mp3 or .wma");
      continue;
    }
    // A folder's tree is kept under the output folder.
    const std::string folder =
        Settings.SameAsInputFolder ? FolderPart(file) : WithSlash(Settings.OutputFolder) + subfolder;
    const std::string output = OutputPath(file, folder, mode);
    auto earlier = claimed.find(Key(output));
    if (earlier != claimed.end()) {
      View.Fail(file, "its output " + output + " is already written in this run, from " + earlier->second);
      continue;
    }
    if (const std::string* source = everySource.Replaced(output)) {
      View.Fail(file, "its output " + output + " would replace " + *source + ", a source of this run");
      continue;
    }
    claimed.emplace(Key(output), file);
    plan.FIndex.emplace(file, plan.Files.size());
    plan.Files.push_back({file, mode, output, WithSlash(folder)});
    auto batch = std::find_if(plan.Batches.begin(), plan.Batches.end(), [&](const auto& b) { return b.first == mode; });
    if (batch == plan.Batches.end()) batch = plan.Batches.insert(plan.Batches.end(), {mode, {}});
    batch->second.push_back(file);
  }
  return plan;
}

}  // namespace tonvale
