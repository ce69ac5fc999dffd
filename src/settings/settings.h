#pragma once
// The process-wide user settings and their INI file, options.ini.

#include <cstdint>
#include <string>

namespace tonvale {

struct TSettings {
  // CommonOptions
  std::string OutputFolder;
  int32_t OutputFormat = 0;
  bool SameAsInputFolder = false;
  bool IsShowTagEditor = false;
  bool IsSameTag = false;
  // Files converted at the same time: 0 one per available core, else 1 to 64.
  int32_t Jobs = 0;
  // The window's colour theme by name; empty follows the desktop.
  std::string Theme;
  // Mp3Options
  bool IsSelectVBR = false;
  bool IsVBRHead = false;
  int32_t BitRate = 0;  // the VBR minimum, kbit/s
  int32_t MaxBitRate = 0;
  int32_t VBRQuality = 0;
  int32_t StereoMode = 0;
  int32_t CPU = 0;
  int32_t ConstantBitRate = 0;  // index into 48 56 64 80 96 128 192 256 320
  // An ID3v2 tag (whole values) before the audio of MP3 outputs, beside the ID3v1 tag.
  bool WriteID3v2 = true;
  // WMAOptions
  int32_t CodecIndex = 0;
  int32_t FormatIndex = 0;
  bool VBR = false;
};

extern TSettings Settings;

// Every field at the value a missing key loads as.
TSettings DefaultSettings();

// The folder of options.ini: the application-data folder's
// "Quarnel/Tonvale/", created with its parents, else the executable's folder.
std::string SettingsFolder(bool Make = true);
// Fills Settings from the file, each field with its default. Without
// MakeFolders nothing is written: no folder made, no initial file copied.
void LoadSettings(bool MakeFolders = true);
// Writes every field; raises std::runtime_error "Unable to write to <path>"
// when the file cannot be written (the file on disk is then unchanged).
void SaveSettings();

}  // namespace tonvale
