#include "settings/settings.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <variant>

#include "platform/private_profile.h"
#include "platform/shell_folders.h"

namespace tonvale {

TSettings Settings;

namespace {

// Each key of options.ini with its section and field; a missing key loads as
// the field's value in TSettings{}.
struct TKey {
  const char* Section;
  const char* Name;
  std::variant<std::string TSettings::*, int32_t TSettings::*, bool TSettings::*> Field;
};

const TKey kKeys[] = {
    {"CommonOptions", "OutputFolder", &TSettings::OutputFolder},
    {"CommonOptions", "OutputFormat", &TSettings::OutputFormat},
    {"CommonOptions", "SameAsInputFolder", &TSettings::SameAsInputFolder},
    {"CommonOptions", "IsShowTagEditor", &TSettings::IsShowTagEditor},
    {"CommonOptions", "IsSameTag", &TSettings::IsSameTag},
    {"CommonOptions", "Jobs", &TSettings::Jobs},
    {"CommonOptions", "Theme", &TSettings::Theme},
    {"Mp3Options", "IsSelectVBR", &TSettings::IsSelectVBR},
    {"Mp3Options", "IsVBRHead", &TSettings::IsVBRHead},
    {"Mp3Options", "BitRate", &TSettings::BitRate},
    {"Mp3Options", "MaxBitRate", &TSettings::MaxBitRate},
    {"Mp3Options", "VBRQuality", &TSettings::VBRQuality},
    {"Mp3Options", "StereoMode", &TSettings::StereoMode},
    {"Mp3Options", "CPU", &TSettings::CPU},
    {"Mp3Options", "ConstantBitRate", &TSettings::ConstantBitRate},
    {"Mp3Options", "WriteID3v2", &TSettings::WriteID3v2},
    {"Mp3Options", "SegmentLongFiles", &TSettings::SegmentLongFiles},
    {"WMAOptions", "CodecIndex", &TSettings::CodecIndex},
    {"WMAOptions", "FormatIndex", &TSettings::FormatIndex},
    {"WMAOptions", "VBR", &TSettings::VBR},
};

// The integer settings with a range of their own: a value outside it is
// replaced (the stored WMA indexes depend on the codecs and are checked
// where they are used).
struct TRange {
  const char* Name;
  int32_t TSettings::*Field;
  int32_t Low, High;
};

const TRange kRanges[] = {
    {"Jobs", &TSettings::Jobs, 0, kMaxJobs},
    {"BitRate", &TSettings::BitRate, 8, 320},
    {"MaxBitRate", &TSettings::MaxBitRate, 8, 320},
    {"VBRQuality", &TSettings::VBRQuality, 0, 9},
    {"StereoMode", &TSettings::StereoMode, 0, 3},
    {"CPU", &TSettings::CPU, 1, 3},
    {"ConstantBitRate", &TSettings::ConstantBitRate, 0, static_cast<int32_t>(std::size(kConstantBitRatesKbps)) - 1},
};

template <class... F>
struct TOverloaded : F... {
  using F::operator()...;
};
template <class... F>
TOverloaded(F...) -> TOverloaded<F...>;

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

std::string DefaultOutputFolder() {
  // An installed program's folder is not writable: the outputs go to the
  // user's music folder (created when first needed).
  const std::string music = MusicFolder();
  return (music.empty() ? ExecutableFolder() : music) + "Tonvale";
}

int ConstantBitRateIndex(int Kbps) {
  const auto* end = std::end(kConstantBitRatesKbps);
  const auto* it = std::find(std::begin(kConstantBitRatesKbps), end, Kbps);
  return it == end ? -1 : static_cast<int>(it - std::begin(kConstantBitRatesKbps));
}

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

TSettings DefaultSettings() { return TSettings{}; }

std::vector<std::string> LoadSettings(bool MakeFolders) {
  TPrivateProfile ini(SettingsFile(MakeFolders));
  const TSettings d;
  if (!ini.Problem().empty()) {
    Settings = d;
    if (ini.Problem() == TPrivateProfile::kNotRegular)
      throw ESettingsError(ini.FileName() + " is not a regular file: the default settings are used");
    if (ini.Refused())
      throw ESettingsError(ini.FileName() + " is not read: " + ini.Problem() + "; the default settings are used");
    return {ini.FileName() + ": " + ini.Problem() + "; the default settings are used"};
  }
  for (const TKey& k : kKeys) {
    std::visit(
        TOverloaded{[&](std::string TSettings::*F) { Settings.*F = ini.ReadString(k.Section, k.Name, d.*F); },
                    [&](int32_t TSettings::*F) { Settings.*F = ini.ReadInteger(k.Section, k.Name, d.*F); },
                    [&](bool TSettings::*F) { Settings.*F = ini.ReadInteger(k.Section, k.Name, d.*F ? 1 : 0) != 0; }},
        k.Field);
  }
  return KeepInRange(Settings);
}

std::vector<std::string> KeepInRange(TSettings& S) {
  const TSettings d;
  std::vector<std::string> warnings;
  for (const TRange& r : kRanges) {
    int32_t& value = S.*r.Field;
    if (value >= r.Low && value <= r.High) continue;
    // Jobs beyond its range still means "few" or "many".
    const int32_t used = r.Field == &TSettings::Jobs ? std::clamp(value, r.Low, r.High) : d.*r.Field;
    warnings.push_back(std::string("options.ini: ") + r.Name + "=" + std::to_string(value) + " is out of range; " +
                       std::to_string(used) + " is used");
    value = used;
  }
  return warnings;
}

void SaveSettings() {
  TPrivateProfile ini(SettingsFile());
  for (const TKey& k : kKeys) {
    std::visit(
        TOverloaded{[&](std::string TSettings::*F) { ini.WriteString(k.Section, k.Name, Settings.*F); },
                    [&](int32_t TSettings::*F) { ini.WriteString(k.Section, k.Name, std::to_string(Settings.*F)); },
                    [&](bool TSettings::*F) { ini.WriteString(k.Section, k.Name, Settings.*F ? "1" : "0"); }},
        k.Field);
  }
  if (!ini.Flush())
    throw std::runtime_error("Unable to write to " + ini.FileName() +
                             (ini.Problem().empty() ? "" : ": it is kept as it is, as " + ini.Problem()));
}

}  // namespace tonvale
