#pragma once
// Making a folder with its missing parents, at any depth the system's path
// length allows.

#include <string>

namespace tonvale {

// Makes Path and each missing folder above it. Gives 0, or the errno of the
// level that could not be made (ENOTDIR where a file stands in the way).
int MakeFolders(const std::string& Path);

}  // namespace tonvale
