#include "audio/core/au_file_stream.h"

#include <gtest/gtest.h>

#include <fstream>

#include "audio/core/au_exception.h"
#include "support/temp_dir.h"

using namespace tonvale;

namespace {

void WriteFile(const std::string& Path, const std::string& Text) { std::ofstream(Path) << Text; }

std::string ErrorOf(const std::string& Path, uint16_t Mode) {
  try {
    TAuFileStream s(Path, Mode);
  } catch (const EAuException& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(AuFileStream, CreateReplacesAndReadsBack) {
  test::TempDir dir;
  const std::string path = dir.File("a.bin");
  WriteFile(path, "old contents that are long");
  {
    TAuFileStream s(path, fmCreate);
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Write("hello", 5), 5);
    s.SetPosition(1);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4);
    EXPECT_STREQ(buf, "ello");
    s.SetSize(2);
    EXPECT_EQ(s.Size(), 2);
  }
  TAuFileStream r(path, fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(r.Size(), 2);
}

TEST(AuFileStream, RefusalsNameTheFile) {
  test::TempDir dir;
  const std::string missing = dir.File("missing.wav");
  EXPECT_EQ(ErrorOf(missing, fmOpenRead), "Cannot open file " + missing);
  EXPECT_EQ(ErrorOf(dir.File("no/such/folder.wav"), fmCreate), "Cannot create file " + dir.File("no/such/folder.wav"));
  // A folder is not a file.
  EXPECT_EQ(ErrorOf(dir.Path().string(), fmOpenRead), "Cannot open file " + dir.Path().string());
  const std::string path = dir.File("x");
  WriteFile(path, "x");
  EXPECT_NE(ErrorOf(path, 0x0003), "");  // access 3 is not allowed
  EXPECT_NE(ErrorOf(path, 0x0050), "");  // sharing above 4 is not allowed
  EXPECT_EQ(ErrorOf(path, fmOpenReadWrite | fmShareDenyNone), "");
}

TEST(AuFileStream, SharingIsEnforcedBetweenOpeners) {
  test::TempDir dir;
  const std::string path = dir.File("shared.wav");
  WriteFile(path, "precious");
  {
    TAuFileStream reader(path, fmOpenRead | fmShareDenyWrite);
    // Readers that share may open together; nobody may take the file whole.
    EXPECT_EQ(ErrorOf(path, fmOpenRead | fmShareDenyWrite), "");
    EXPECT_EQ(ErrorOf(path, fmOpenRead | fmShareExclusive), "Cannot open file " + path);
    // A create that cannot have the file leaves its contents alone.
    EXPECT_EQ(ErrorOf(path, fmCreate), "Cannot create file " + path);
  }
  std::ifstream in(path);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "precious");
  {
    TAuFileStream owner(path, fmCreate);
    EXPECT_EQ(ErrorOf(path, fmOpenRead | fmShareDenyNone), "Cannot open file " + path);
  }
}
