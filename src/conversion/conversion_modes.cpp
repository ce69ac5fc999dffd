#include "conversion/conversion_modes.h"

#include <cctype>

#include "platform/text.h"

namespace tonvale {

const TModeInfo kModes[6] = {
    {cmWmaToMp3, "wma", "mp3", "bMP3toWMA", "WMA to MP3...", "Convert WMA to MP3", "Wma to Mp3 Converter"},
    {cmMp3ToWma, "mp3", "wma", "bWMAtoMP3", "MP3 to WMA...", "Convert MP3 to WMA", "Mp3 to Wma Converter"},
    {cmWavToMp3, "wav", "mp3", "bWAVtoMP3", "WAV to MP3...", "Convert WAV to MP3", "Wav to Mp3 Converter"},
    {cmMp3ToWav, "mp3", "wav", "bMP3toWAV", "MP3 to WAV...", "Convert MP3 to WAV", "Mp3 to Wav Converter"},
    {cmWavToWma, "wav", "wma", "bWAVtoWMA", "WAV to WMA...", "Convert WAV to WMA", "Wav to Wma Converter"},
    {cmWmaToWav, "wma", "wav", "bWMAtoWAV", "WMA to WAV...", "Convert WMA to WAV", "Wma to Wav Converter"},
};

const char* const kFileTypes[3] = {"wav", "mp3", "wma"};

const TModeInfo* ModeInfo(int Mode) {
  for (const TModeInfo& m : kModes)
    if (m.Mode == Mode) return &m;
  return nullptr;
}

bool IsConversionMode(int Mode) { return ModeInfo(Mode) != nullptr; }

std::string ExtensionOf(const std::string& Path) {
  const std::string name = FileNamePart(Path);
  const size_t dot = name.find_last_of('.');
  std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

TConversionMode ModeBetween(const std::string& Source, const std::string& Target) {
  for (const TModeInfo& m : kModes)
    if (Source == m.Source && Target == m.Target) return m.Mode;
  return cmNone;
}

TConversionMode ModeFor(const std::string& Path, const std::string& Target) {
  return ModeBetween(ExtensionOf(Path), Target);
}

std::string ModeName(int Mode) {
  const TModeInfo* m = ModeInfo(Mode);
  return m ? std::string(m->Source) + "-to-" + m->Target : "";
}

std::string SourceType(int Mode) {
  const TModeInfo* m = ModeInfo(Mode);
  return m ? m->Source : "";
}

bool OfSourceType(const std::string& Path, int Mode) {
  return IsConversionMode(Mode) && ExtensionOf(Path) == SourceType(Mode);
}

std::string OutputExtension(int Mode) {
  const TModeInfo* m = ModeInfo(Mode);
  return m ? std::string(".") + m->Target : "";
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
