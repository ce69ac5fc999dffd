#include "platform/private_profile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using namespace tonvale::test;

namespace {

std::string ReadText(const std::string& Path) {
  auto b = ReadBytes(Path);
  return {b.begin(), b.end()};
}

}  // namespace

TEST(PrivateProfile, ReadsWithoutLetterCaseAndTrims) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  WriteText(path,
            "; a comment\n[Other]\nKey=other\n[ Common ]\n  Key  =  spaced value  \nQuoted=\"in quotes\"\n"
            "Hex=0x1F\nNeg=-4\nBad=12abc\nEmpty=\n");
  TPrivateProfile ini(path);
  EXPECT_EQ(ini.ReadString("common", "KEY", "d"), "spaced value");
  EXPECT_EQ(ini.ReadString("Common", "quoted", "d"), "in quotes");
  EXPECT_EQ(ini.ReadString("Other", "Key", "d"), "other");
  EXPECT_EQ(ini.ReadString("Common", "Missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("Missing", "Key", "d"), "d");
  EXPECT_EQ(ini.ReadString("Common", "Empty", "d"), "");
  EXPECT_EQ(ini.ReadInteger("Common", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Common", "Neg", 0), -4);
  EXPECT_EQ(ini.ReadInteger("Common", "Bad", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Common", "Empty", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Common", "Key", 7), 7);
}

TEST(PrivateProfile, WritesKeepEverythingElse) {
  TempDir dir;
  const std::string path = dir.File("b.ini");
  WriteText(path, "; keep me\r\n[Sec]\r\nkey=old\r\nOther=1\r\n\r\n[Next]\r\nA=1\r\n");
  TPrivateProfile ini(path);
  ini.WriteString("SEC", "Key", "new");
  ini.WriteString("Sec", "Added", "2");
  ini.WriteString("Fresh", "X", "y");
  ASSERT_TRUE(ini.Flush());
  EXPECT_EQ(ReadText(path),
            "; keep me\r\n[Sec]\r\nKey=new\r\nOther=1\r\nAdded=2\r\n\r\n[Next]\r\nA=1\r\n\r\n[Fresh]\r\nX=y\r\n");
  EXPECT_TRUE(WritePrivateProfileString("Next", "B", "2", path));
  EXPECT_EQ(GetPrivateProfileString("next", "b", "", path), "2");
  EXPECT_EQ(GetPrivateProfileInt("Sec", "Added", 0, path), 2);
}

TEST(PrivateProfile, LongValuesAreCutAndFailedWritesChangeNothing) {
  TempDir dir;
  const std::string path = dir.File("c.ini");
  TPrivateProfile ini(path);
  ini.WriteString("S", "Long", std::string(3000, 'v'));
  ASSERT_TRUE(ini.Flush());
  EXPECT_EQ(TPrivateProfile(path).ReadString("S", "Long", "").size(), 2047u);
  // A file that cannot be replaced (here a folder stands in its place).
  const std::string blocked = dir.File("blocked.ini");
  std::filesystem::create_directory(blocked);
  TPrivateProfile other(blocked);
  other.WriteString("S", "K", "v");
  EXPECT_FALSE(other.Flush());
  EXPECT_TRUE(std::filesystem::is_directory(blocked));
  // No temporary file is left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

// A 100 MB options.ini cost gigabytes: past a limit it is not read nor written.
TEST(PrivateProfile, HugeFileWasReadWhole) {
  TempDir dir;
  const std::string path = dir.File("a.ini"), key = "[S]\nK=v\n", fill(TPrivateProfile::kMaxFile - key.size(), '\n');
  const std::string line(TPrivateProfile::kMaxLine, 'x');
  for (const auto& [text, read] : std::vector<std::pair<std::string, bool>>{
           {key + fill, true}, {key + fill + "\n", false}, {key + line, true}, {key + line + "x", false}}) {
    WriteText(path, text);
    TPrivateProfile ini(path);
    EXPECT_EQ(ini.ReadString("S", "K", "d"), read ? "v" : "d");
    EXPECT_EQ(ini.Flush(), read);
    EXPECT_TRUE(read || ReadText(path) == text) << "a refused file is never written over";
  }
}
