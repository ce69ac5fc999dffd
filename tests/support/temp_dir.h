#pragma once
// A fresh folder for one test, removed afterwards.

#include <filesystem>
#include <string>

namespace tonvale::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& Path() const { return FPath; }
  std::string File(const std::string& Name) const { return (FPath / Name).string(); }

 private:
  std::filesystem::path FPath;
};

}  // namespace tonvale::test
