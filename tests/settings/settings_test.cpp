#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/private_profile.h"
#include "platform/shell_folders.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using namespace tonvale::test;

namespace {

// Points the application-data folder at a fresh folder for one test.
struct ConfigHome {
  TempDir Dir;
  std::string Saved;
  ConfigHome() {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    Saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", Dir.Path().c_str(), 1);
    Settings = TSettings{};
  }
  ~ConfigHome() {
    if (Saved.empty())
      ::unsetenv("XDG_CONFIG_HOME");
    else
      ::setenv("XDG_CONFIG_HOME", Saved.c_str(), 1);
  }
  std::string Ini() const { return (Dir.Path() / "Quarnel/Tonvale/options.ini").string(); }
};

}  // namespace

TEST(Settings, DefaultsWithoutAFile) {
  ConfigHome home;
  LoadSettings();
  EXPECT_EQ(SettingsFolder(), (home.Dir.Path() / "Quarnel/Tonvale/").string());
  EXPECT_EQ(Settings.OutputFolder, MusicFolder() + "Tonvale");
  EXPECT_EQ(Settings.OutputFormat, 0);
  EXPECT_FALSE(Settings.SameAsInputFolder);
  EXPECT_TRUE(Settings.IsShowTagEditor);
  EXPECT_FALSE(Settings.IsSameTag);
  EXPECT_FALSE(Settings.IsSelectVBR);
  EXPECT_FALSE(Settings.IsVBRHead);
  EXPECT_EQ(Settings.BitRate, 128);
  EXPECT_EQ(Settings.MaxBitRate, 320);
  EXPECT_EQ(Settings.VBRQuality, 4);
  EXPECT_EQ(Settings.StereoMode, 1);
  EXPECT_EQ(Settings.CPU, 3);
  EXPECT_EQ(Settings.ConstantBitRate, 5);
  EXPECT_EQ(Settings.CodecIndex, 0);
  EXPECT_EQ(Settings.FormatIndex, 29);
  EXPECT_FALSE(Settings.VBR);
  Settings.Theme = "Dark", Settings.Jobs = 9, Settings.VBR = true;
  LoadSettings();
  EXPECT_EQ(Settings, TSettings{}) << "every key loads as a new record's value";
  EXPECT_FALSE(std::filesystem::exists(home.Ini())) << "created at the next save";
}

TEST(Settings, SaveAndLoadRoundTripAndPeersAgree) {
  ConfigHome home;
  LoadSettings();
  Settings.OutputFolder = "/music/out put/\xC3\xA9t\xC3\xA9";
  Settings.SameAsInputFolder = true;
  Settings.IsShowTagEditor = false;
  Settings.BitRate = 96;
  Settings.StereoMode = 3;
  Settings.FormatIndex = 100;
  Settings.VBR = true;
  SaveSettings();
  const TSettings saved = Settings;
  Settings = TSettings{};
  LoadSettings();
  EXPECT_EQ(Settings.OutputFolder, saved.OutputFolder);
  EXPECT_TRUE(Settings.SameAsInputFolder);
  EXPECT_FALSE(Settings.IsShowTagEditor);
  EXPECT_EQ(Settings.BitRate, 96);
  EXPECT_EQ(Settings.StereoMode, 3);
  EXPECT_EQ(Settings.FormatIndex, 100);
  EXPECT_TRUE(Settings.VBR);
  auto out = Python(
      "import configparser\n"
      "c = configparser.ConfigParser(); c.optionxform = str\n"
      "c.read('" +
      home.Ini() +
      "', encoding='utf-8')\n"
      "print(c.sections())\n"
      "print(c['CommonOptions']['OutputFolder'], c['CommonOptions']['SameAsInputFolder'], "
      "c['Mp3Options']['StereoMode'], c['WMAOptions']['FormatIndex'], c['WMAOptions']['VBR'])\n"
      "print(list(c['Mp3Options'].keys()))\n");
  EXPECT_EQ(out,
            "['CommonOptions', 'Mp3Options', 'WMAOptions']\n"
            "/music/out put/\xC3\xA9t\xC3\xA9 1 3 100 1\n"
            "['IsSelectVBR', 'IsVBRHead', 'BitRate', 'MaxBitRate', 'VBRQuality', 'StereoMode', 'CPU', "
            "'ConstantBitRate', 'WriteID3v2', 'SegmentLongFiles']\n");
}

TEST(Settings, HandEditedFilesLoadAndKeepTheirExtras) {
  ConfigHome home;
  std::filesystem::create_directories(std::filesystem::path(home.Ini()).parent_path());
  WriteText(home.Ini(),
            "; written by hand\n[commonoptions]\nsameasinputfolder = 2\nMyOwnKey=kept\n"
            "OutputFolder=" +
                std::string(2100, 'f') +
                "\n"
                "[MP3OPTIONS]\nConstantBitRate=0x3\nCPU=abc\n[Elsewhere]\nx=1\n");
  LoadSettings();
  EXPECT_TRUE(Settings.SameAsInputFolder);
  EXPECT_EQ(Settings.ConstantBitRate, 3);
  EXPECT_EQ(Settings.CPU, 3) << "not a number: the default";
  EXPECT_EQ(Settings.OutputFolder.size(), 2047u);
  SaveSettings();
  TPrivateProfile ini(home.Ini());
  EXPECT_EQ(ini.ReadString("CommonOptions", "SameAsInputFolder", ""), "1");
  EXPECT_EQ(ini.ReadString("CommonOptions", "MyOwnKey", ""), "kept");
  EXPECT_EQ(ini.ReadString("Elsewhere", "x", ""), "1");
  auto text = ReadBytes(home.Ini());
  EXPECT_EQ(std::string(text.begin(), text.begin() + 17), "; written by hand");
}

TEST(Settings, InitialCopyBesideTheExecutable) {
  ConfigHome home;
  const std::string initial = ExecutableFolder() + "options.ini";
  WriteText(initial, "[Mp3Options]\nBitRate=64\n");
  LoadSettings();
  std::filesystem::remove(initial);
  EXPECT_EQ(Settings.BitRate, 64);
  EXPECT_TRUE(std::filesystem::exists(home.Ini())) << "copied into the settings folder";
}

TEST(Settings, AFailedSaveSaysWhere) {
  ConfigHome home;
  LoadSettings();
  std::filesystem::create_directories(home.Ini());  // a folder where the file should be
  try {
    SaveSettings();
    FAIL() << "saved";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Unable to write to " + home.Ini() + ": it is kept as it is, as it is not a regular file");
  }
  EXPECT_TRUE(std::filesystem::is_directory(home.Ini()));
}

TEST(Settings, FolderFallsBackToTheExecutables) {
  ConfigHome home;
  WriteText((home.Dir.Path() / "Quarnel").string(), "a file in the way");
  EXPECT_EQ(SettingsFolder(), ExecutableFolder());
}

TEST(Settings, DefaultOutputFolderIsInTheUsersMusicFolder) {
  ConfigHome home;
  const std::string userHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  WriteText((home.Dir.Path() / "user-dirs.dirs").string(),
            "# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
  EXPECT_EQ(MusicFolder(), userHome + "/Tunes/");
  EXPECT_EQ(DefaultSettings().OutputFolder, userHome + "/Tunes/Tonvale");
  WriteText((home.Dir.Path() / "user-dirs.dirs").string(), "XDG_MUSIC_DIR=\"/srv/music\"\n");
  EXPECT_EQ(MusicFolder(), "/srv/music/");
}

// Jobs outside 0 to 64 load as the nearest end, not as the default, so a
// hand-edited 99 still means "many".
TEST(Settings, JobsAndWriteID3v2LoadAndRoundTrip) {
  ConfigHome home;
  std::filesystem::create_directories(std::filesystem::path(home.Ini()).parent_path());
  const std::pair<const char*, int> cases[] = {
      {"", 0}, {"Jobs=3\n", 3}, {"Jobs=-2\n", 0}, {"Jobs=99\n", 64}, {"Jobs=x\n", 0}};
  for (const auto& [line, jobs] : cases) {
    WriteText(home.Ini(), std::string("[CommonOptions]\n") + line);
    LoadSettings();
    EXPECT_EQ(Settings.Jobs, jobs) << line;
  }
  EXPECT_TRUE(Settings.WriteID3v2) << "on unless turned off";
  WriteText(home.Ini(), "[Mp3Options]\nWriteID3v2=0\n");
  LoadSettings();
  EXPECT_FALSE(Settings.WriteID3v2);
  Settings.Jobs = 7;
  SaveSettings();
  Settings.Jobs = 0;
  Settings.WriteID3v2 = true;
  LoadSettings();
  EXPECT_EQ(Settings.Jobs, 7);
  EXPECT_FALSE(Settings.WriteID3v2);
}
