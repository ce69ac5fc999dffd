#include "tags/id3tag.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <set>

#include "support/peers.h"
#include "support/temp_dir.h"
#include "tags/genre_list.h"
#include "tags/id3v1_tags.h"

using namespace tonvale;
using test::ReadBytes;
using test::WriteBytes;
using Bytes = std::vector<uint8_t>;

namespace {

std::string Field(const Bytes& File, size_t Offset, size_t Width) {
  size_t tag = File.size() - 128;
  return std::string(File.begin() + tag + Offset, File.begin() + tag + Offset + Width);
}

}  // namespace

TEST(GenreList, CoversEveryId3v1NumberOnce) {
  std::set<int> seen;
  for (size_t i = 1; i < GenreList.size(); ++i) {
    int id = GenreMap[i];
    ASSERT_LT(id, 148) << GenreList[i];
    EXPECT_TRUE(seen.insert(id).second) << GenreList[i];
    // Names agree with the ID3v1 table except for six spellings.
    static const std::map<std::string, int> differing = {{"A Capella", 123},   {"Christian Gangsta", 136},
                                                         {"Drum & Base", 127}, {"Fast-Fusion", 84},
                                                         {"Folk/Rock", 81},    {"Gangsta Rap", 59}};
    auto d = differing.find(GenreList[i]);
    if (d != differing.end())
      EXPECT_EQ(id, d->second);
    else
      EXPECT_EQ(FindGenre(GenreList[i]), id) << GenreList[i];
  }
  EXPECT_EQ(seen.size(), 148u);
  EXPECT_STREQ(GenreList[0], "");
  EXPECT_EQ(GenreIndexToId3(0), 255);
  EXPECT_EQ(GenreIndexToId3(static_cast<uint8_t>(-1)), 255);
  EXPECT_EQ(GenreIndexToId3(149), 255);
  EXPECT_EQ(GenreIndexToId3(18), 0);    // Blues
  EXPECT_EQ(GenreIndexToId3(148), 28);  // Vocal
  EXPECT_EQ(GenreIndexToId3(2), 34);    // Acid
}

TEST(Id3tag, AppendsOrReplacesTheTag) {
  test::TempDir dir;
  const std::string path = dir.File("song.mp3");
  WriteBytes(path, Bytes(100, 7));
  Tid3tag tag;
  tag.SetTitle("abc");
  EXPECT_EQ(tag.WriteTag(path), Tid3tag::Ok);
  Bytes b = ReadBytes(path);
  ASSERT_EQ(b.size(), 228u);
  EXPECT_EQ(Field(b, 0, 3), "TAG");
  EXPECT_EQ(Field(b, 3, 30), "abc" + std::string(27, '\0'));
  EXPECT_EQ(b.back(), 255) << "no genre";
  EXPECT_EQ(tag.FileName, path);

  tag.SetTitle(std::string(40, 'x'));
  tag.Genre = 17;
  EXPECT_EQ(tag.WriteTag("="), Tid3tag::Ok);
  b = ReadBytes(path);
  ASSERT_EQ(b.size(), 228u) << "the old tag is replaced in place";
  EXPECT_EQ(Field(b, 3, 30), std::string(30, 'x'));
  EXPECT_EQ(b.back(), 17);

  WriteBytes(path, Bytes(300, 'A'));
  EXPECT_EQ(tag.WriteTag(path), Tid3tag::Ok);
  EXPECT_EQ(ReadBytes(path).size(), 428u);
}

TEST(Id3tag, CommentAndTrackLayouts) {
  test::TempDir dir;
  const std::string path = dir.File("t.mp3");
  WriteBytes(path, Bytes(200, 0));
  Tid3tag tag;
  tag.SetComment("123456789012345678901234567890");
  tag.SetTrack(0);
  ASSERT_EQ(tag.WriteTag(path), Tid3tag::Ok);
  EXPECT_EQ(Field(ReadBytes(path), 97, 30), "1234567890123456789012345678" + std::string("\0\0", 2));
  tag.SetTrack(7);
  ASSERT_EQ(tag.WriteTag(path), Tid3tag::Ok);
  Bytes b = ReadBytes(path);
  EXPECT_EQ(Field(b, 97, 30), "1234567890123456789012345678" + std::string("\0\x07", 2));
  tag.SetYear("20261");
  tag.SetArtist("Bj\xC3\xB6rk \xE2\x82\xAC");
  ASSERT_EQ(tag.WriteTag(path), Tid3tag::Ok);
  b = ReadBytes(path);
  EXPECT_EQ(Field(b, 93, 4), "2026");
  EXPECT_EQ(Field(b, 33, 7), "Bj\xF6rk ?") << "Latin-1 in the file";
}

TEST(Id3tag, RefusesWhatItMustNotWrite) {
  test::TempDir dir;
  int status = 0;
  Tid3tag tag;
  EXPECT_EQ(tag.WriteTag("="), Tid3tag::NotFound) << "no earlier write";
  EXPECT_EQ(tag.WriteTag(dir.File("missing.mp3")), Tid3tag::NotFound);
  EXPECT_EQ(tag.WriteTag(dir.Path().string()), Tid3tag::NotWritable) << "a folder";
  const std::string locked = dir.File("ro.mp3");
  WriteBytes(locked, Bytes(50, 1));
  ::chmod(locked.c_str(), 0444);
  // Root may write whatever the mode says; an immutable file it may not.
  if (::access(locked.c_str(), W_OK) == 0) test::Shell("chattr +i " + test::Quote(locked) + " 2>/dev/null", &status);
  const bool refused = ::access(locked.c_str(), W_OK) != 0;
  if (refused) {
    EXPECT_EQ(tag.WriteTag(locked), Tid3tag::NotWritable);
    EXPECT_EQ(ReadBytes(locked).size(), 50u);
  }
  test::Shell("chattr -i " + test::Quote(locked) + " 2>/dev/null", &status);
  EXPECT_EQ(tag.FileName, "") << "failures leave the remembered name";
  const std::string fifo = dir.File("pipe");
  ::mkfifo(fifo.c_str(), 0644);
  EXPECT_EQ(tag.WriteTag(fifo), Tid3tag::NotWritable);
  if (!refused) GTEST_SKIP() << "this file system let no file be made unwritable for this user";
}

TEST(Id3tag, PeersReadTheTag) {
  test::TempDir dir;
  const std::string mp3 = dir.File("tone.mp3");
  test::Shell("ffmpeg -v error -f lavfi -i sine=d=0.3 -c:a libmp3lame -id3v2_version 0 " + test::Quote(mp3));
  // A peer's ID3v1 tag alone at the end.
  test::Python(
      "from mutagen.id3 import ID3, TIT2, delete\n"
      "t = ID3(); t.add(TIT2(encoding=0, text='Old'))\n"
      "t.save('" +
      mp3 +
      "', v1=2, v2_version=3)\n"
      "delete('" +
      mp3 + "', delete_v1=False, delete_v2=True)\n");
  ASSERT_EQ(test::Shell("tail -c 128 " + test::Quote(mp3) + " | head -c 6"), "TAGOld");
  const auto size = ReadBytes(mp3).size();
  Tid3tag tag;
  tag.SetTitle("Spring");
  tag.SetArtist("Fr\xC3\xBChling");
  tag.SetAlbum("Album");
  tag.SetYear("2003");
  tag.SetComment("Comment");
  tag.SetTrack(11);
  tag.Genre = GenreIndexToId3(1);  // "A Capella"
  ASSERT_EQ(tag.WriteTag(mp3), Tid3tag::Ok);
  EXPECT_EQ(ReadBytes(mp3).size(), size) << "ffmpeg's tag was replaced";
  auto out = test::Python(
      "from mutagen.id3 import ID3\n"
      "t = ID3('" +
      mp3 +
      "')\n"
      "print(t['TIT2'], t['TPE1'], t['TALB'], t['TDRC'], t['TRCK'], t['TCON'].genres[0], "
      "t.getall('COMM')[0], sep='|')\n");
  EXPECT_EQ(out, "Spring|Fr\xC3\xBChling|Album|2003|11|A Cappella|Comment\n");
  auto probe =
      test::Shell("ffprobe -v error -show_entries format_tags=title,track -of default=nw=1 " + test::Quote(mp3));
  EXPECT_EQ(probe, "TAG:title=Spring\nTAG:track=11\n");
}
