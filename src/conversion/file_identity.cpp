#include "conversion/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>

namespace tonvale {
namespace {

namespace fs = std::filesystem;

std::string Identity(const struct stat& St) { return std::to_string(St.st_dev) + ":" + std::to_string(St.st_ino); }

fs::path Absolute(const std::string& Path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(Path, ec);
  return (ec ? fs::path(Path) : absolute).lexically_normal();
}

std::string Lower(std::string S) {
  for (char& c : S) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return S;
}

std::string SwapCase(std::string S) {
  for (char& c : S) {
    const auto u = static_cast<unsigned char>(c);
    c = static_cast<char>(std::islower(u) ? std::toupper(u) : std::tolower(u));
  }
  return S;
}

// Whether the entry Path, looked up with its name's letter case swapped, is
// the same entry.
bool FoundInOtherCase(const fs::path& Path) {
  struct stat a {
  }, b{};
  const fs::path other = Path.parent_path() / SwapCase(Path.filename().string());
  return ::lstat(Path.c_str(), &a) == 0 && ::lstat(other.c_str(), &b) == 0 && Identity(a) == Identity(b);
}

}  // namespace

TFileIdentity::TFileIdentity(TFoldTest Folds) : FFolds(std::move(Folds)) {}

std::string TFileIdentity::OfExisting(const std::string& Path) {
  struct stat st {};
  return !Path.empty() && ::stat(Path.c_str(), &st) == 0 ? Identity(st) : "";
}

std::string TFileIdentity::Key(const std::string& Path) {
  if (std::string file = OfExisting(Path); !file.empty()) return file;
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
  if (known == FFolding.end()) known = FFolding.emplace(identity, FFolds && FFolds(folder.string())).first;
  return identity + "/" + (known->second ? Lower(rest.string()) : rest.string());
}

bool FoldsLetterCase(const std::string& Folder, bool MayProbe) {
  // An entry with a letter in its name, looked up by its other spelling.
  std::error_code ec;
  int looked = 0;
  for (fs::directory_iterator it(Folder, ec), end; !ec && it != end && looked < 64; it.increment(ec), ++looked) {
    const std::string name = it->path().filename().string();
    if (SwapCase(name) != name) return FoundInOtherCase(it->path());
  }
  // The folder itself, looked up in its parent where both are on one file
  // system.
  const fs::path self = Absolute(Folder);
  struct stat folder {
  }, parent{};
  const std::string name = self.filename().string();
  if (SwapCase(name) != name && ::stat(self.c_str(), &folder) == 0 &&
      ::stat(self.parent_path().c_str(), &parent) == 0 && folder.st_dev == parent.st_dev)
    return FoundInOtherCase(self);
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

}  // namespace tonvale
