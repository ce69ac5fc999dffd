#include "conversion/run_plan.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <map>
#include <set>

#include "audio/core/au_exception.h"
#include "conversion/conversion_modes.h"
#include "conversion/source_set.h"

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

fs::path Absolute(const std::string& Path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(Path, ec);
  return (ec ? fs::path(Path) : absolute).lexically_normal();
}

std::string Identity(const struct stat& St) { return std::to_string(St.st_dev) + ":" + std::to_string(St.st_ino); }

// A source's file: its device and inode, so links and other spellings of
// one file are one source; the spelling for a file that does not exist.
std::string SourceKey(const std::string& Path) {
  struct stat st {};
  return ::stat(Path.c_str(), &st) == 0 ? Identity(st) : Absolute(Path).string();
}

std::string SwapCase(std::string S) {
  for (char& c : S) {
    const auto u = static_cast<unsigned char>(c);
    c = static_cast<char>(std::islower(u) ? std::toupper(u) : std::tolower(u));
  }
  return S;
}

// An output's file: the device and inode of its folder as it exists (or of
// the deepest existing ancestor, with the rest of the path), and its name.
// Two spellings of one folder, through a link or otherwise, give one key;
// where the folder's file system folds letter case, so do two spellings of
// a name.
class TOutputKeys {
 public:
  TOutputKeys(const TPlanRequest::TFoldTest& Folds) : FFolds(Folds) {}

  std::string operator()(const std::string& Path) {
    const fs::path path = Absolute(Path);
    fs::path rest = path.filename();
    fs::path folder = path.parent_path();
    struct stat st {};
    while (::stat(folder.c_str(), &st) != 0) {
      if (folder == folder.parent_path()) return path.string();
      rest = folder.filename() / rest;
      folder = folder.parent_path();
    }
    const std::string identity = Identity(st);
    auto known = FFolding.find(identity);
    if (known == FFolding.end()) known = FFolding.emplace(identity, FFolds(folder.string())).first;
    return identity + "/" + (known->second ? Lower(rest.string()) : rest.string());
  }

 private:
  const TPlanRequest::TFoldTest& FFolds;
  std::map<std::string, bool> FFolding;  // folder identity -> folds case
};

// Whether the entry Path, looked up with its name's letter case swapped, is
// the same entry.
bool FoundInOtherCase(const fs::path& Path) {
  struct stat a {
  }, b{};
  const fs::path other = Path.parent_path() / SwapCase(Path.filename().string());
  return ::lstat(Path.c_str(), &a) == 0 && ::lstat(other.c_str(), &b) == 0 && Identity(a) == Identity(b);
}

}  // namespace

bool FoldsLetterCase(const std::string& Folder, bool MayProbe) {
  // An entry with a letter in its name, looked up by its other spelling.
  std::error_code ec;
  int looked = 0;
  for (fs::directory_iterator it(Folder, ec), end; !ec && it != end && looked < 64; it.increment(ec), ++looked) {
    const std::string name = it->path().filename().string();
    if (SwapCase(name) != name) return FoundInOtherCase(it->path());
  }
  if (!MayProbe) return false;
  // None to look at: a hidden file of its own, for a moment.
  std::string probe = (fs::path(Folder) / ".tonvale-case-XXXXXX").string();
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  const bool folds = FoundInOtherCase(probe);
  ::unlink(probe.c_str());
  return folds;
}

namespace {

std::string WithSlash(std::string Folder) {
  if (!Folder.empty() && Folder.back() != '/') Folder += '/';
  return Folder;
}

struct TSource {
  std::string Path;
  std::string Subfolder;  // below the folder given, for the output tree
};

// Whether a file found under a folder belongs to the run.
using TWanted = std::function<bool(const std::string& Path)>;

// The wanted files under Root, in name order; hidden files and folders, links
// to folders and the folder Skipped (the output folder) are not entered. A
// folder that cannot be read is a failure of the run, as find has it.
void Walk(const std::string& Root, const TWanted& Wanted, const std::string& Skipped, std::vector<TSource>& Out,
          std::vector<TFileResult>& Unreadable) {
  std::vector<TSource> found;
  std::vector<fs::path> folders{Root};
  while (!folders.empty()) {
    const fs::path folder = std::move(folders.back());
    folders.pop_back();
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      const fs::path& p = it->path();
      const bool hidden = p.filename().string().rfind('.', 0) == 0;
      std::error_code sec;
      if (it->is_directory(sec)) {
        struct stat st {};
        const bool skipped = !Skipped.empty() && ::stat(p.c_str(), &st) == 0 && Identity(st) == Skipped;
        if (!hidden && !it->is_symlink(sec) && !skipped) folders.push_back(p);
        continue;
      }
      if (hidden || !it->is_regular_file(sec) || !Wanted(p.string())) continue;
      const std::string relative = p.parent_path().lexically_relative(Root).string();
      found.push_back({p.string(), relative == "." ? "" : WithSlash(relative)});
    }
    if (ec)
      Unreadable.push_back(
          {folder.string(), "", TFileOutcome::Failed,
           "cannot read this folder: " + SystemReason(ec.value()) + "; the files under it are left out"});
  }
  std::sort(found.begin(), found.end(), [](const TSource& A, const TSource& B) { return A.Path < B.Path; });
  Out.insert(Out.end(), found.begin(), found.end());
}

std::string Upper(std::string S) {
  for (char& c : S) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return S;
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
  const std::string source = SourceType(Mode);
  return source.empty() ? "" : source + "-to-" + OutputExtension(Mode).substr(1);
}

std::string SourceType(int Mode) {
  switch (Mode) {
    case cmWavToMp3:
    case cmWavToWma: return "wav";
    case cmMp3ToWav:
    case cmMp3ToWma: return "mp3";
    case cmWmaToWav:
    case cmWmaToMp3: return "wma";
    default: return "";
  }
}

bool OfSourceType(const std::string& Path, int Mode) {
  return !SourceType(Mode).empty() && Extension(Path) == SourceType(Mode);
}

const TPlannedFile* TRunPlan::Find(const std::string& Source) const {
  auto it = FIndex.find(Source);
  return it == FIndex.end() ? nullptr : &Files[it->second];
}

std::string TRunPlan::OutputFolderOf(const std::string& Source, const std::string& Fallback) const {
  const TPlannedFile* f = Find(Source);
  return f ? f->OutputFolder : Fallback;
}

TRunPlan PlanRun(const TPlanRequest& Request) {
  TRunPlan plan;
  const std::string sourceType = SourceType(Request.Mode);
  const std::string target = Request.Mode ? OutputExtension(Request.Mode).substr(1) : Request.Target;
  auto modeOf = [&](const std::string& Path) { return Request.Mode ? Request.Mode : ModeFor(Path, target); };
  const TWanted wanted = [&](const std::string& Path) {
    return Request.Mode ? OfSourceType(Path, Request.Mode) : ModeFor(Path, target) != 0;
  };
  // The output folder is never a source of its own run.
  std::string outputFolder;
  if (struct stat st{}; !Request.SameAsInputFolder && ::stat(Request.OutputFolder.c_str(), &st) == 0)
    outputFolder = Identity(st);

  std::vector<TSource> sources;
  for (const auto& a : Request.Sources) {
    std::error_code ec;
    if (fs::is_directory(a, ec)) {
      if (Request.Recursive)
        Walk(a, wanted, outputFolder, sources, plan.Refused);
      else
        plan.Refused.push_back({a, "", TFileOutcome::Failed, "is a folder: give -r to convert the files under it"});
      continue;
    }
    sources.push_back({a, ""});
  }
  std::vector<std::string> all;
  all.reserve(sources.size());
  for (const auto& s : sources) all.push_back(s.Path);
  const TSourceSet everySource(all);

  const TPlanRequest::TFoldTest folds =
      Request.FoldsCase ? Request.FoldsCase : [&](const std::string& F) { return FoldsLetterCase(F, !Request.DryRun); };
  TOutputKeys outputKey(folds);
  std::set<std::string> seen;                  // source keys
  std::map<std::string, std::string> claimed;  // output key -> the source that writes it
  for (const auto& [file, subfolder] : sources) {
    if (!seen.insert(SourceKey(file)).second) {
      plan.Refused.push_back({file, "", TFileOutcome::Skipped, "given twice"});
      continue;
    }
    if (!Request.Mode && Extension(file) == target) {
      plan.Refused.push_back({file, "", TFileOutcome::Skipped, "it is already a ." + target + " file"});
      continue;
    }
    if (Request.Mode && Request.OtherTypesRefused && Extension(file) != sourceType) {
      plan.Refused.push_back({file, "", TFileOutcome::Failed, "not a " + Upper(sourceType) + " file"});
      continue;
    }
    const int mode = modeOf(file);
    if (!IsConversionMode(mode)) {
      plan.Refused.push_back({file, "", TFileOutcome::Failed,
                              "cannot convert this file to " + target + ": its extension is not .wav, .mp3 or .wma"});
      continue;
    }
    const std::string folder =
        Request.SameAsInputFolder ? FolderPart(file) : WithSlash(Request.OutputFolder) + subfolder;
    const std::string output = OutputPath(file, folder, mode);
    const std::string key = outputKey(output);
    auto earlier = claimed.find(key);
    if (earlier != claimed.end()) {
      plan.Refused.push_back({file, output, TFileOutcome::Failed,
                              "its output " + output + " is already written in this run, from " + earlier->second});
      continue;
    }
    if (const std::string* source = everySource.Replaced(output)) {
      plan.Refused.push_back({file, output, TFileOutcome::Failed,
                              "its output " + output + " would replace " + *source + ", a source of this run"});
      continue;
    }
    claimed.emplace(key, file);
    plan.FIndex.emplace(file, plan.Files.size());
    plan.Files.push_back({file, mode, output, WithSlash(folder)});
    auto batch = std::find_if(plan.Batches.begin(), plan.Batches.end(), [&](const auto& b) { return b.first == mode; });
    if (batch == plan.Batches.end()) batch = plan.Batches.insert(plan.Batches.end(), {mode, {}});
    batch->second.push_back(file);
  }
  return plan;
}

}  // namespace tonvale
