#pragma once
// The six conversion modes, one table of what each one is, and the naming of
// their outputs.

#include <string>

namespace tonvale {

enum TConversionMode {
  cmNone = 0,
  cmWavToMp3 = 2,
  cmWavToWma = 4,
  cmMp3ToWav = 7,
  cmWmaToWav = 8,
  cmMp3ToWma = 9,
  cmWmaToMp3 = 10,
};

struct TModeInfo {
  TConversionMode Mode;
  const char* Source;       // the sources' extension: "wav", "mp3" or "wma"
  const char* Target;       // the outputs' extension
  const char* Button;       // the main window's button for it
  const char* Caption;      // its caption
  const char* Hint;         // its tooltip
  const char* DialogTitle;  // the open-file dialog's title, before " (One or multiple files)"
};

// The six modes in the order of the main window's buttons.
extern const TModeInfo kModes[6];
// The three file types in the order their conversions are offered.
extern const char* const kFileTypes[3];

// The entry of Mode; nullptr for a value of no mode.
const TModeInfo* ModeInfo(int Mode);
// Whether Mode is one of the six.
bool IsConversionMode(int Mode);
// The mode for a source with this extension (any letter case) and target
// type; cmNone when none.
TConversionMode ModeFor(const std::string& Path, const std::string& Target);
// The mode from one type to another; cmNone when none.
TConversionMode ModeBetween(const std::string& Source, const std::string& Target);
// "wav-to-mp3" and the like; empty for others.
std::string ModeName(int Mode);
// The extension of a mode's sources: "wav", "mp3" or "wma"; empty for others.
std::string SourceType(int Mode);
// Whether Path's extension, in any letter case, is that of Mode's sources.
bool OfSourceType(const std::string& Path, int Mode);
// A path's extension in lower case, without the dot; empty without one.
std::string ExtensionOf(const std::string& Path);
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
