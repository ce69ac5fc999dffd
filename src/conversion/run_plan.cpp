#include "conversion/run_plan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>

#include "audio/core/au_exception.h"

namespace tonvale {
namespace {

namespace fs = std::filesystem;

std::string WithSlash(std::string Folder) {
  if (!Folder.empty() && Folder.back() != '/') Folder += '/';
  return Folder;
}

std::string Upper(std::string S) {
  for (char& c : S) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return S;
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
void Walk(const std::string& Root, const TWanted& Wanted, const std::string& Skipped, bool NameKept,
          std::vector<TSource>& Out, std::vector<TFileResult>& Unreadable) {
  // The tree is kept from the folder itself, or from its parent with its name.
  fs::path base = fs::path(Root).lexically_normal();
  if (base.filename().empty()) base = base.parent_path();
  if (NameKept) base = base.parent_path();
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
        const bool skipped = !Skipped.empty() && TFileIdentity::OfExisting(p.string()) == Skipped;
        if (!hidden && !it->is_symlink(sec) && !skipped) folders.push_back(p);
        continue;
      }
      if (hidden || !it->is_regular_file(sec) || !Wanted(p.string())) continue;
      const std::string relative = p.parent_path().lexically_normal().lexically_relative(base).string();
      found.push_back({p.string(), relative == "." ? "" : WithSlash(relative)});
    }
    if (ec)
      Unreadable.push_back(
          {folder.string(), "", TFileOutcome::Failed, TReason::FolderUnreadable,
           "cannot read this folder: " + SystemReason(ec.value()) + "; the files under it are left out"});
  }
  std::sort(found.begin(), found.end(), [](const TSource& A, const TSource& B) { return A.Path < B.Path; });
  Out.insert(Out.end(), found.begin(), found.end());
}

}  // namespace

std::vector<TConversionMode> TRunPlan::Modes() const {
  std::vector<TConversionMode> modes;
  for (const TPlannedFile& f : Files)
    if (std::find(modes.begin(), modes.end(), f.Mode) == modes.end()) modes.push_back(f.Mode);
  return modes;
}

std::vector<TPlannedFile> TRunPlan::FilesOf(TConversionMode Mode) const {
  std::vector<TPlannedFile> files;
  for (const TPlannedFile& f : Files)
    if (f.Mode == Mode) files.push_back(f);
  return files;
}

const std::string* TRunPlan::Replaced(const std::string& Output) const {
  const std::string key = TFileIdentity::OfExisting(Output);
  if (key.empty()) return nullptr;
  const auto it = FSources.find(key);
  return it == FSources.end() ? nullptr : &it->second;
}

TRunPlan PlanRun(const TPlanRequest& Request) {
  TRunPlan plan;
  const std::string sourceType = SourceType(Request.Mode);
  const TModeInfo* info = ModeInfo(Request.Mode);
  const std::string target = Request.Mode ? (info ? info->Target : "") : Request.Target;
  auto modeOf = [&](const std::string& Path) { return Request.Mode ? Request.Mode : ModeFor(Path, target); };
  const TWanted wanted = [&](const std::string& Path) {
    return Request.Mode ? OfSourceType(Path, Request.Mode) : ModeFor(Path, target) != cmNone;
  };
  // The output folder is never a source of its own run.
  const std::string outputFolder = Request.SameAsInputFolder ? "" : TFileIdentity::OfExisting(Request.OutputFolder);

  std::vector<TSource> sources;
  for (const auto& a : Request.Sources) {
    std::error_code ec;
    if (fs::is_directory(a, ec)) {
      if (Request.Recursive)
        Walk(a, wanted, outputFolder, Request.FolderNamesKept, sources, plan.Refused);
      else
        plan.Refused.push_back(
            {a, "", TFileOutcome::Failed, TReason::IsFolder, "is a folder: give -r to convert the files under it"});
      continue;
    }
    sources.push_back({a, ""});
  }
  TFileIdentity identity(Request.FoldsCase ? Request.FoldsCase : [dry = Request.DryRun](const std::string& F) {
    return FoldsLetterCase(F, !dry);
  });
  // Every source's identity first: an output may not replace a later one either.
  std::vector<std::string> keys;
  keys.reserve(sources.size());
  for (const auto& s : sources) {
    keys.push_back(identity.Key(s.Path));
    plan.FSources.emplace(keys.back(), s.Path);
  }
  std::set<std::string> seen;                  // source keys
  std::map<std::string, std::string> claimed;  // output key -> the source that writes it
  for (size_t i = 0; i < sources.size(); ++i) {
    const auto& [file, subfolder] = sources[i];
    if (!seen.insert(keys[i]).second) {
      plan.Refused.push_back({file, "", TFileOutcome::Skipped, TReason::GivenTwice, "given twice"});
      continue;
    }
    // A file of the target type is skipped as the command line skips it (a
    // drop refuses it below); one of another known type is not the mode's
    // source, chosen or dropped.
    const std::string extension = ExtensionOf(file);
    if (!target.empty() && extension == target && !Request.OtherTypesRefused) {
      plan.Refused.push_back(
          {file, "", TFileOutcome::Skipped, TReason::AlreadyTargetType, "it is already a ." + target + " file"});
      continue;
    }
    const bool knownType = std::find_if(std::begin(kFileTypes), std::end(kFileTypes),
                                        [&](const char* T) { return extension == T; }) != std::end(kFileTypes);
    if (IsConversionMode(Request.Mode) && extension != sourceType && (Request.OtherTypesRefused || knownType)) {
      plan.Refused.push_back(
          {file, "", TFileOutcome::Failed, TReason::NotSourceType, "not a " + Upper(sourceType) + " file"});
      continue;
    }
    const TConversionMode mode = modeOf(file);
    if (!IsConversionMode(mode)) {
      plan.Refused.push_back({file, "", TFileOutcome::Failed, TReason::UnknownType,
                              "cannot convert this file to " + target + ": its extension is not .wav, .mp3 or .wma"});
      continue;
    }
    const std::string folder =
        WithSlash(Request.SameAsInputFolder ? FolderPart(file) : WithSlash(Request.OutputFolder) + subfolder);
    const std::string output = OutputPath(file, folder, mode);
    const std::string key = identity.Key(output);
    if (auto earlier = claimed.find(key); earlier != claimed.end()) {
      plan.Refused.push_back({file, output, TFileOutcome::Failed, TReason::CollidesWithOutput,
                              "its output " + output + " is already written in this run, from " + earlier->second});
      continue;
    }
    if (auto source = plan.FSources.find(key); source != plan.FSources.end()) {
      plan.Refused.push_back({file, output, TFileOutcome::Failed, TReason::WouldReplaceSource,
                              "its output " + output + " would replace " + source->second + ", a source of this run"});
      continue;
    }
    claimed.emplace(key, file);
    std::error_code ec;
    // A link, even one that leads nowhere, is an existing file.
    const bool existed = fs::exists(fs::symlink_status(output, ec));
    plan.Files.push_back({file, keys[i], mode, folder, output, existed});
  }
  return plan;
}

}  // namespace tonvale
