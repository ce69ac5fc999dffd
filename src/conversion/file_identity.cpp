#include "conversion/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>

namespace tonvale {
namespace {

namespace fs = std::filesystem;

std::string Identity(const struct stat& St) { return std::to_string(St.st_dev) + ":" + std::to_string(St.st_ino); }

// Path from the root, its ".." left for the file system to resolve: after a
// link to a folder, ".." is that folder's parent, not the link's.
fs::path Absolute(const std::string& Path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(Path, ec);
  return ec ? fs::path(Path) : absolute;
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

// Whether the folder holds an entry of exactly that name.
bool Listed(const fs::path& Folder, const std::string& Name) {
  std::error_code ec;
  for (fs::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename() == Name) return true;
  return false;
}

// Whether the entry Path is also found by its name with the letter case
// swapped, and that other spelling is not an entry of its own in the folder's
// listing. The listing decides, not the inode: FUSE mounts give each spelling
// of one name its own inode number.
bool FoundInOtherCase(const fs::path& Path) {
  struct stat st {};
  const std::string other = SwapCase(Path.filename().string());
  return ::lstat(Path.c_str(), &st) == 0 && ::lstat((Path.parent_path() / other).c_str(), &st) == 0 &&
         !Listed(Path.parent_path(), other);
}

}  // namespace

TFileIdentity::TFileIdentity(TFoldTest Folds) : FFolds(std::move(Folds)) {}

std::string TFileIdentity::OfExisting(const std::string& Path) {
  struct stat st {};
  return !Path.empty() && ::stat(Path.c_str(), &st) == 0 ? Identity(st) : "";
}

bool TFileIdentity::Folds(const std::string& Identity, const std::string& Folder) {
  auto known = FFolding.find(Identity);
  if (known == FFolding.end()) known = FFolding.emplace(Identity, FFolds && FFolds(Folder)).first;
  return known->second;
}

std::string TFileIdentity::OfListedSpelling(const std::string& Path, const std::string& Found) {
  const fs::path path = Absolute(Path);
  const fs::path folder = path.parent_path();
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !Folds(Identity(st), folder.string())) return Found;
  std::set<std::string>& names = FListed[Identity(st)];
  std::error_code ec;
  if (names.empty())
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      names.insert(it->path().filename().string());
  const std::string name = path.filename().string();
  if (names.count(name) > 0) return Found;
  for (const std::string& listed : names)
    if (Lower(listed) == Lower(name)) return OfExisting((folder / listed).string());
  return Found;
}

std::string TFileIdentity::Key(const std::string& Path) {
  if (std::string file = OfExisting(Path); !file.empty()) return OfListedSpelling(Path, file);
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
  return identity + "/" + (Folds(identity, folder.string()) ? Lower(rest.string()) : rest.string());
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
  std::error_code cec;
  const fs::path self = fs::canonical(Folder, cec);
  struct stat folder {
  }, parent{};
  const std::string name = self.filename().string();
  if (!cec && SwapCase(name) != name && ::stat(self.c_str(), &folder) == 0 &&
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
