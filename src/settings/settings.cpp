#include "settings/settings.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/private_profile.h"
#include "platform/shell_folders.h"

namespace tonvale {

TSettings Settings;

namespace {

constexpr const char* kCommon = "CommonOptions";
constexpr const char* kMp3 = "Mp3Options";
constexpr const char* kWma = "WMAOptions";

// The settings file, with the initial copy from beside the executable.
std::string SettingsFile(bool Make = true) {
  std::string file = SettingsFolder(Make) + "options.ini";
  const std::string initial = ExecutableFolder() + "options.ini";
  std::error_code ec;
  if (!Make) return std::filesystem::exists(file, ec) ? file : initial;
  if (!std::filesystem::exists(file, ec) && std::filesystem::exists(initial, ec) && file != initial)
    std::filesystem::copy_file(initial, file, std::filesystem::copy_options::overwrite_existing, ec);
  return file;
}

}  // namespace

std::string SettingsFolder(bool Make) {
  const std::string appData = AppDataFolder();
  if (!appData.empty()) {
    std::string folder = appData + "Quarnel/Tonvale/";
    std::error_code ec;
    if (!Make) return folder;
    std::filesystem::create_directories(folder, ec);
    if (std::filesystem::is_directory(folder, ec)) return folder;
  }
  return ExecutableFolder();
}

TSettings DefaultSettings() {
  TSettings d;
  // An installed program's folder is not writable: the outputs go to the
  // user's music folder (created when first needed).
  const std::string music = MusicFolder();
  d.OutputFolder = (music.empty() ? ExecutableFolder() : music) + "Tonvale";
  d.OutputFormat = 0;
  d.SameAsInputFolder = false;
  d.IsShowTagEditor = true;
  d.IsSameTag = false;
  d.Jobs = 0;
  d.IsSelectVBR = false;
  d.IsVBRHead = false;
  d.BitRate = 128;
  d.MaxBitRate = 320;
  d.VBRQuality = 4;
  d.StereoMode = 1;
  d.CPU = 3;
  d.ConstantBitRate = 5;
  d.WriteID3v2 = true;
  d.CodecIndex = 0;
  d.FormatIndex = 29;
  d.VBR = false;
  return d;
}

void LoadSettings(bool MakeFolders) {
  TPrivateProfile ini(SettingsFile(MakeFolders));
  const TSettings d = DefaultSettings();
  auto flag = [&](const char* Section, const char* Key, bool Default) {
    return ini.ReadInteger(Section, Key, Default ? 1 : 0) != 0;
  };
  Settings.OutputFolder = ini.ReadString(kCommon, "OutputFolder", d.OutputFolder);
  Settings.OutputFormat = ini.ReadInteger(kCommon, "OutputFormat", d.OutputFormat);
  Settings.SameAsInputFolder = flag(kCommon, "SameAsInputFolder", d.SameAsInputFolder);
  Settings.IsShowTagEditor = flag(kCommon, "IsShowTagEditor", d.IsShowTagEditor);
  Settings.IsSameTag = flag(kCommon, "IsSameTag", d.IsSameTag);
  Settings.Jobs = std::clamp(ini.ReadInteger(kCommon, "Jobs", d.Jobs), 0, 64);
  Settings.Theme = ini.ReadString(kCommon, "Theme", d.Theme);
  Settings.IsSelectVBR = flag(kMp3, "IsSelectVBR", d.IsSelectVBR);
  Settings.IsVBRHead = flag(kMp3, "IsVBRHead", d.IsVBRHead);
  Settings.BitRate = ini.ReadInteger(kMp3, "BitRate", d.BitRate);
  Settings.MaxBitRate = ini.ReadInteger(kMp3, "MaxBitRate", d.MaxBitRate);
  Settings.VBRQuality = ini.ReadInteger(kMp3, "VBRQuality", d.VBRQuality);
  Settings.StereoMode = ini.ReadInteger(kMp3, "StereoMode", d.StereoMode);
  Settings.CPU = ini.ReadInteger(kMp3, "CPU", d.CPU);
  Settings.ConstantBitRate = ini.ReadInteger(kMp3, "ConstantBitRate", d.ConstantBitRate);
  Settings.WriteID3v2 = flag(kMp3, "WriteID3v2", d.WriteID3v2);
  Settings.CodecIndex = ini.ReadInteger(kWma, "CodecIndex", d.CodecIndex);
  Settings.FormatIndex = ini.ReadInteger(kWma, "FormatIndex", d.FormatIndex);
  Settings.VBR = flag(kWma, "VBR", d.VBR);
}

void SaveSettings() {
  TPrivateProfile ini(SettingsFile());
  auto flag = [](bool V) { return std::string(V ? "1" : "0"); };
  auto num = [](int32_t V) { return std::to_string(V); };
  ini.WriteString(kCommon, "OutputFolder", Settings.OutputFolder);
  ini.WriteString(kCommon, "OutputFormat", num(Settings.OutputFormat));
  ini.WriteString(kCommon, "SameAsInputFolder", flag(Settings.SameAsInputFolder));
  ini.WriteString(kCommon, "IsShowTagEditor", flag(Settings.IsShowTagEditor));
  ini.WriteString(kCommon, "IsSameTag", flag(Settings.IsSameTag));
  ini.WriteString(kCommon, "Jobs", num(Settings.Jobs));
  ini.WriteString(kCommon, "Theme", Settings.Theme);
  ini.WriteString(kMp3, "IsSelectVBR", flag(Settings.IsSelectVBR));
  ini.WriteString(kMp3, "IsVBRHead", flag(Settings.IsVBRHead));
  ini.WriteString(kMp3, "BitRate", num(Settings.BitRate));
  ini.WriteString(kMp3, "MaxBitRate", num(Settings.MaxBitRate));
  ini.WriteString(kMp3, "VBRQuality", num(Settings.VBRQuality));
  ini.WriteString(kMp3, "StereoMode", num(Settings.StereoMode));
  ini.WriteString(kMp3, "CPU", num(Settings.CPU));
  ini.WriteString(kMp3, "ConstantBitRate", num(Settings.ConstantBitRate));
  ini.WriteString(kMp3, "WriteID3v2", flag(Settings.WriteID3v2));
  ini.WriteString(kWma, "CodecIndex", num(Settings.CodecIndex));
  ini.WriteString(kWma, "FormatIndex", num(Settings.FormatIndex));
  ini.WriteString(kWma, "VBR", flag(Settings.VBR));
  if (!ini.Flush()) throw std::runtime_error("Unable to write to " + ini.FileName());
}

}  // namespace tonvale
