#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace tonvale {

bool TDynamicLibrary::Load(const std::string& FileName) {
  Unload();
  FHandle = ::dlopen(FileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  return FHandle != nullptr;
}

void TDynamicLibrary::Unload() {
  if (FHandle) ::dlclose(FHandle);
  FHandle = nullptr;
}

void* TDynamicLibrary::Symbol(const char* Name) const { return FHandle ? ::dlsym(FHandle, Name) : nullptr; }

}  // namespace tonvale
