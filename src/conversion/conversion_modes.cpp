#include "conversion/conversion_modes.h"

#include "platform/text.h"

namespace tonvale {

bool IsConversionMode(int Mode) { return !OutputExtension(Mode).empty(); }

std::string OutputExtension(int Mode) {
  switch (Mode) {
    case cmWavToMp3:
    case cmWmaToMp3: return ".mp3";
    case cmWavToWma:
    case cmMp3ToWma: return ".wma";
    case cmMp3ToWav:
    case cmWmaToWav: return ".wav";
    default: return "";
  }
}

std::string FileNamePart(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

std::string FolderPart(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  return slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
}

std::string BaseName(const std::string& Path) {
  const std::string name = FileNamePart(Path);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string OutputPath(const std::string& Source, const std::string& Folder, int Mode) {
  std::string folder = Folder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + BaseName(Source) + OutputExtension(Mode);
}

std::string TitleFromName(const std::string& Path) {
  const std::string name = BaseName(Path);
  return IsUtf8(name) ? name : Latin1ToUtf8(name);
}

}  // namespace tonvale
