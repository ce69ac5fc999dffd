#pragma once
// The sources of a batch or a run, to ask whether writing a path would
// replace one of them: by its spelling (absolute, without "." and "..") or
// by its file (device and inode, so links and other names count). Each
// source is looked at once, when the set is made.

#include <sys/types.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tonvale {

class TSourceSet {
 public:
  explicit TSourceSet(const std::vector<std::string>& Sources);
  // The source that writing Path would replace, or nullptr.
  const std::string* Replaced(const std::string& Path) const;

 private:
  std::map<std::string, std::string> FByName;
  std::map<std::pair<dev_t, ino_t>, std::string> FByFile;
};

}  // namespace tonvale
