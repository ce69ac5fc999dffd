#pragma once
// The six conversion modes and the naming of their outputs.

#include <string>

namespace tonvale {

enum TConversionMode {
  cmWavToMp3 = 2,
  cmWavToWma = 4,
  cmMp3ToWav = 7,
  cmWmaToWav = 8,
  cmMp3ToWma = 9,
  cmWmaToMp3 = 10,
};

// Whether Mode is one of the six.
bool IsConversionMode(int Mode);
// ".mp3", ".wma" or ".wav"; empty for other modes.
std::string OutputExtension(int Mode);
// The source's file name with its extension (from the last "." of the name)
// replaced by the mode's, in Folder (a delimiter is added when missing).
std::string OutputPath(const std::string& Source, const std::string& Folder, int Mode);
// The part after the last '/'.
std::string FileNamePart(const std::string& Path);
// The part up to and including the last '/'; empty without one.
std::string FolderPart(const std::string& Path);
// The file name without folder and without extension.
std::string BaseName(const std::string& Path);
// BaseName as UTF-8 text for a title: a name that is not UTF-8 is read as
// Latin-1, the likeliest older encoding.
std::string TitleFromName(const std::string& Path);

}  // namespace tonvale
