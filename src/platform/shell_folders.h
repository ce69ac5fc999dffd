#pragma once
// Folders the program keeps its files in. Both end with '/'.

#include <string>

namespace tonvale {

// The per-user application-data folder: $XDG_CONFIG_HOME, else
// $HOME/.config; empty when neither is known.
std::string AppDataFolder();
// The user's music folder: XDG_MUSIC_DIR of user-dirs.dirs, else
// $HOME/Music; empty when neither is known.
std::string MusicFolder();
// The folder of the running executable.
std::string ExecutableFolder();

}  // namespace tonvale
