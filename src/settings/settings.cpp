#include "settings/settings.h"

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
std::string SettingsFile() {
  const std::string file = SettingsFolder() + "options.ini";
  const std::string initial = ExecutableFolder() + "options.ini";
  std::error_code ec;
  if (!std::filesystem::exists(file, ec) && std::filesystem::exists(initial, ec) && file != initial)
    std::filesystem::copy_file(initial, file, std::filesystem::copy_options::overwrite_existing, ec);
  return file;
}

}  // namespace

std::string SettingsFolder() {
  const std::string appData = AppDataFolder();
  if (!appData.empty()) {
    const std::string folder = appData + "Quarnel/Tonvale/";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (std::filesystem::is_directory(folder, ec)) return folder;
  }
  return ExecutableFolder();
}

void LoadSettings() {
  TPrivateProfile ini(SettingsFile());
  auto flag = [&](const char* Section, const char* Key, bool Default) {
    return ini.ReadInteger(Section, Key, Default ? 1 : 0) != 0;
  };
  Settings.OutputFolder = ini.ReadString(kCommon, "OutputFolder", ExecutableFolder() + "Output");
  Settings.OutputFormat = ini.ReadInteger(kCommon, "OutputFormat", 0);
  Settings.SameAsInputFolder = flag(kCommon, "SameAsInputFolder", false);
  Settings.IsShowTagEditor = flag(kCommon, "IsShowTagEditor", true);
  Settings.IsSameTag = flag(kCommon, "IsSameTag", false);
  Settings.IsSelectVBR = flag(kMp3, "IsSelectVBR", false);
  Settings.IsVBRHead = flag(kMp3, "IsVBRHead", false);
  Settings.BitRate = ini.ReadInteger(kMp3, "BitRate", 128);
  Settings.MaxBitRate = ini.ReadInteger(kMp3, "MaxBitRate", 320);
  Settings.VBRQuality = ini.ReadInteger(kMp3, "VBRQuality", 4);
  Settings.StereoMode = ini.ReadInteger(kMp3, "StereoMode", 1);
  Settings.CPU = ini.ReadInteger(kMp3, "CPU", 3);
  Settings.ConstantBitRate = ini.ReadInteger(kMp3, "ConstantBitRate", 5);
  Settings.CodecIndex = ini.ReadInteger(kWma, "CodecIndex", 0);
  Settings.FormatIndex = ini.ReadInteger(kWma, "FormatIndex", 29);
  Settings.VBR = flag(kWma, "VBR", false);
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
  ini.WriteString(kMp3, "IsSelectVBR", flag(Settings.IsSelectVBR));
  ini.WriteString(kMp3, "IsVBRHead", flag(Settings.IsVBRHead));
  ini.WriteString(kMp3, "BitRate", num(Settings.BitRate));
  ini.WriteString(kMp3, "MaxBitRate", num(Settings.MaxBitRate));
  ini.WriteString(kMp3, "VBRQuality", num(Settings.VBRQuality));
  ini.WriteString(kMp3, "StereoMode", num(Settings.StereoMode));
  ini.WriteString(kMp3, "CPU", num(Settings.CPU));
  ini.WriteString(kMp3, "ConstantBitRate", num(Settings.ConstantBitRate));
  ini.WriteString(kWma, "CodecIndex", num(Settings.CodecIndex));
  ini.WriteString(kWma, "FormatIndex", num(Settings.FormatIndex));
  ini.WriteString(kWma, "VBR", flag(Settings.VBR));
  if (!ini.Flush()) throw std::runtime_error("Unable to write to " + ini.FileName());
}

}  // namespace tonvale
