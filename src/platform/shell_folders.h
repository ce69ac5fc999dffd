#pragma once
// Folders the program keeps its files in. Both end with '/'.

#include <string>

namespace tonvale {

// The per-user application-data folder: $XDG_CONFIG_HOME, else
// $HOME/.config; empty when neither is known.
std::string AppDataFolder();
// The folder of the running executable.
std::string ExecutableFolder();

}  // namespace tonvale
