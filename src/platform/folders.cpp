#include "platform/folders.h"

#include <sys/stat.h>

#include <cerrno>

namespace tonvale {

// One level at a time from the top: std::filesystem::create_directories
// gives up on a path of more than a thousand levels.
int MakeFolders(const std::string& Path) {
  for (size_t end = Path.find('/', 1);; end = Path.find('/', end + 1)) {
    const std::string level = Path.substr(0, end);
    if (!level.empty() && ::mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) return errno;
    if (end == std::string::npos) break;
  }
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

}  // namespace tonvale
