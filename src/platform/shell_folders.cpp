#include "platform/shell_folders.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace tonvale {
namespace {

std::string WithSlash(std::string Path) {
  if (!Path.empty() && Path.back() != '/') Path += '/';
  return Path;
}

}  // namespace

std::string AppDataFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return WithSlash(xdg);
  const char* home = std::getenv("HOME");
  if (home && *home) return WithSlash(std::string(home) + "/.config");
  return {};
}

std::string ExecutableFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "./";
  return WithSlash(exe.parent_path().string());
}

}  // namespace tonvale
