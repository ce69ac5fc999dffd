#pragma once
// The process-wide user settings and their INI file, options.ini.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tonvale {

// Where outputs go by default: the user's music folder's "Tonvale" (made
// when first needed), else beside the executable.
std::string DefaultOutputFolder();

// The MP3 constant bit rates, kbit/s; ConstantBitRate indexes this list.
constexpr int kConstantBitRatesKbps[] = {48, 56, 64, 80, 96, 128, 192, 256, 320};
// The index of Kbps in that list; -1 when it is none of them.
int ConstantBitRateIndex(int Kbps);

// Files converted at the same time: 0 (one per available core) to kMaxJobs.
constexpr int kMaxJobs = 64;

// Each field starts at the value a missing key loads as.
struct TSettings {
  // CommonOptions
  std::string OutputFolder = DefaultOutputFolder();
  int32_t OutputFormat = 0;
  bool SameAsInputFolder = false;
  bool IsShowTagEditor = true;
  bool IsSameTag = false;
  int32_t Jobs = 0;
  // The window's colour theme by name; empty follows the desktop.
  std::string Theme;
  // Mp3Options
  bool IsSelectVBR = false;
  bool IsVBRHead = false;
  int32_t BitRate = 128;  // the VBR minimum, kbit/s
  int32_t MaxBitRate = 320;
  int32_t VBRQuality = 4;
  int32_t StereoMode = 1;
  int32_t CPU = 3;
  int32_t ConstantBitRate = 5;  // index into kConstantBitRatesKbps
  // An ID3v2 tag (whole values) before the audio of MP3 outputs, beside the ID3v1 tag.
  bool WriteID3v2 = true;
  // A long WAV may be encoded in segments on cores that would otherwise idle.
  bool SegmentLongFiles = true;
  // WMAOptions
  int32_t CodecIndex = 0;
  int32_t FormatIndex = 29;
  bool VBR = false;

  bool operator==(const TSettings&) const = default;
};

extern TSettings Settings;

// Every field at the value a missing key loads as: TSettings{}.
TSettings DefaultSettings();

// The folder of options.ini: the application-data folder's
// "Quarnel/Tonvale/", created with its parents, else the executable's folder.
std::string SettingsFolder(bool Make = true);
// A settings file that is refused (no regular file, too large to be one):
// its path and why.
class ESettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Fills Settings from the file, each field with its default. Without
// MakeFolders nothing is written: no folder made, no initial file copied.
// A refused file (not a regular file, past the size limits) leaves every
// field at its default and raises ESettingsError. Gives what else was not
// taken as it stands, one text each: a file that cannot be read (the
// defaults are used), a value out of its range (replaced).
std::vector<std::string> LoadSettings(bool MakeFolders = true);
// Replaces each integer setting outside its range: Jobs by the nearest end,
// the others by their default. Gives one text for each.
std::vector<std::string> KeepInRange(TSettings& S);
// Writes every field; raises std::runtime_error "Unable to write to <path>"
// when the file cannot be written (the file on disk is then unchanged).
void SaveSettings();

}  // namespace tonvale
