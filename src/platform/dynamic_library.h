#pragma once
// Loading a shared library at run time and looking up its entry points.

#include <string>

namespace tonvale {

class TDynamicLibrary {
 public:
  TDynamicLibrary() = default;
  ~TDynamicLibrary() { Unload(); }
  TDynamicLibrary(const TDynamicLibrary&) = delete;
  TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

  // Loads FileName with the system's search rules; false when it cannot.
  bool Load(const std::string& FileName);
  void Unload();
  bool Loaded() const { return FHandle != nullptr; }
  // The address of an exported name, or nullptr.
  void* Symbol(const char* Name) const;

 private:
  void* FHandle = nullptr;
};

}  // namespace tonvale
