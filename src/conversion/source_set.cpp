#include "conversion/source_set.h"

#include <sys/stat.h>

#include <filesystem>

namespace tonvale {
namespace {

std::string Spelling(const std::string& Path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(Path, ec);
  return (ec ? std::filesystem::path(Path) : absolute).lexically_normal().string();
}

}  // namespace

TSourceSet::TSourceSet(const std::vector<std::string>& Sources) {
  for (const std::string& s : Sources) {
    FByName.emplace(Spelling(s), s);
    struct stat st {};
    if (::stat(s.c_str(), &st) == 0) FByFile.emplace(std::make_pair(st.st_dev, st.st_ino), s);
  }
}

const std::string* TSourceSet::Replaced(const std::string& Path) const {
  if (auto it = FByName.find(Spelling(Path)); it != FByName.end()) return &it->second;
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0) return nullptr;
  auto it = FByFile.find({st.st_dev, st.st_ino});
  return it == FByFile.end() ? nullptr : &it->second;
}

}  // namespace tonvale
