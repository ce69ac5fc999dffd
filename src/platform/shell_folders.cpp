#include "platform/shell_folders.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace tonvale {
namespace {

std::string WithSlash(std::string Path) {
  if (!Path.empty() && Path.back() != '/') Path += '/';
  return Path;
}

// An environment variable. The program never changes its environment, so
// reading it from any thread is safe.
const char* Environment(const char* Name) {
  return std::getenv(Name);  // NOLINT(concurrency-mt-unsafe): nothing calls setenv
}

}  // namespace

std::string AppDataFolder() {
  const char* xdg = Environment("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return WithSlash(xdg);
  const char* home = Environment("HOME");
  if (home && *home) return WithSlash(std::string(home) + "/.config");
  return {};
}

std::string MusicFolder() {
  const char* homeVar = Environment("HOME");
  const std::string home = homeVar && *homeVar ? homeVar : "";
  // XDG_MUSIC_DIR="$HOME/Music" in user-dirs.dirs, as xdg-user-dirs writes it.
  std::ifstream dirs(AppDataFolder() + "user-dirs.dirs");
  for (std::string line; std::getline(dirs, line);) {
    const std::string key = "XDG_MUSIC_DIR=\"";
    if (line.rfind(key, 0) != 0 || line.back() != '"') continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value.rfind("$HOME", 0) == 0) value.replace(0, 5, home);
    if (!value.empty() && value[0] == '/') return WithSlash(value);
  }
  return home.empty() ? std::string() : WithSlash(home + "/Music");
}

std::string ExecutableFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "./";
  return WithSlash(exe.parent_path().string());
}

}  // namespace tonvale
