#include "tags/id3v1_tags.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using test::ReadBytes;
using test::WriteBytes;

namespace {

// A 128-byte block with "TAG" and the given bytes at their offsets.
std::vector<uint8_t> Block(std::initializer_list<std::pair<int, std::string>> Fields) {
  std::vector<uint8_t> b(128, 0);
  std::memcpy(b.data(), "TAG", 3);
  for (auto& [offset, text] : Fields) std::memcpy(b.data() + offset, text.data(), text.size());
  return b;
}

struct File {
  int Fd;
  explicit File(const std::string& Path, int Flags = O_RDWR) : Fd(::open(Path.c_str(), Flags)) {}
  ~File() { ::close(Fd); }
};

}  // namespace

TEST(Id3v1Tags, NewSetReadsEmptyAndBlues) {
  TId3v1Tags t;
  EXPECT_EQ(t.Genre(), "Blues");
  EXPECT_EQ(t.GenreId(), 0);
  EXPECT_EQ(t.Title(), "");
  EXPECT_EQ(t.Artist(), "");
  EXPECT_EQ(t.Year(), 0);
  EXPECT_EQ(t.Track(), 0);
}

TEST(Id3v1Tags, GenreByNameAndByNumber) {
  TId3v1Tags t;
  t.SetGenre("  rock \t");
  EXPECT_EQ(t.GenreId(), 17);
  t.SetGenre("Not A Genre");
  EXPECT_EQ(t.GenreId(), 17);
  t.SetGenre("a cappella");
  EXPECT_EQ(t.GenreId(), 123);
  t.SetValue("genre", uint8_t{200});
  EXPECT_EQ(t.AsInteger("genre"), 200);
  EXPECT_EQ(t.GenreId(), 12);
  EXPECT_EQ(t.Genre(), "Other");
  t.SetValue("genre", int32_t{-3});
  EXPECT_EQ(t.GenreId(), 12);
  // Artist reads only text values.
  t.SetValue("artist", int32_t{5});
  EXPECT_EQ(t.Artist(), "");
}

TEST(Id3v1Tags, ReadsBothLayoutsAndTrimsFields) {
  test::TempDir dir;
  const std::string path = dir.File("a.mp3");
  auto body = std::vector<uint8_t>(300, 0xAA);
  auto tag = Block({{3, " Title\x01"},
                    {33, "Art\xE9"},
                    {63, "Album"},
                    {93, "1999"},
                    {97, "A comment that is 28 bytes!!"},
                    {125, " x"}});
  tag[127] = 200;
  body.insert(body.end(), tag.begin(), tag.end());
  WriteBytes(path, body);
  TId3v1Tags t;
  File f(path, O_RDONLY);
  EXPECT_TRUE(t.TagPresent(f.Fd));
  EXPECT_EQ(::lseek(f.Fd, 0, SEEK_CUR), 0) << "TagPresent keeps the position";
  ASSERT_TRUE(t.ReadFromFile(f.Fd));
  EXPECT_EQ(t.Title(), "Title");
  EXPECT_EQ(t.Artist(), "Art\xC3\xA9") << "Latin-1 on disk, UTF-8 in memory";
  EXPECT_EQ(t.Album(), "Album");
  EXPECT_EQ(t.Year(), 1999);
  EXPECT_EQ(t.Track(), 120) << "byte 125 a space, byte 126 not: version 1.1";
  EXPECT_EQ(t.Comment(), "A comment that is 28 bytes!!");
  EXPECT_EQ(t.Genre(), "Other");
  EXPECT_EQ(t.AsInteger("genre"), 200);

  // Version 1.0: the comment runs to 30 bytes.
  WriteBytes(path, Block({{97, "thirty characters of comment.."}, {93, "19x9"}}));
  File g(path, O_RDONLY);
  ASSERT_TRUE(t.ReadFromFile(g.Fd));
  EXPECT_EQ(t.Comment(), "thirty characters of comment..");
  EXPECT_EQ(t.Track(), 0);
  EXPECT_EQ(t.Year(), 0);
}

TEST(Id3v1Tags, FilesWithoutATagReadNothing) {
  test::TempDir dir;
  const std::string path = dir.File("b.mp3");
  auto bytes = Block({{3, "Title"}});
  bytes[0] = 't';  // "tAG" is not "TAG"
  WriteBytes(path, bytes);
  TId3v1Tags t;
  t.SetTitle("kept?");
  File f(path, O_RDONLY);
  EXPECT_FALSE(t.TagPresent(f.Fd));
  EXPECT_FALSE(t.ReadFromFile(f.Fd));
  EXPECT_TRUE(TagValueIsNull(t.GetValue("title")));
  WriteBytes(path, {'T', 'A', 'G'});  // shorter than a tag
  File g(path, O_RDONLY);
  EXPECT_FALSE(t.TagPresent(g.Fd));
  EXPECT_FALSE(t.ReadFromFile(g.Fd));
  EXPECT_FALSE(t.ReadFromFile(INVALID_HANDLE_VALUE));
}

TEST(Id3v1Tags, WriteAppendsEveryTimeAndLeavesNoTrackToGuess) {
  test::TempDir dir;
  const std::string path = dir.File("c.mp3");
  WriteBytes(path, std::vector<uint8_t>(10, 1));
  TId3v1Tags t;
  t.SetComment("thirty characters of comment..");
  {
    File f(path);
    ASSERT_TRUE(t.WriteToFile(f.Fd, false));
    t.SetTrack(5);
    t.SetYear(2024);
    ASSERT_TRUE(t.WriteToFile(f.Fd, true));
  }
  auto bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 10u + 256u);
  const uint8_t* first = bytes.data() + 10;
  EXPECT_EQ(std::string(first + 97, first + 127), "thirty characters of comment" + std::string("\0\0", 2));
  EXPECT_EQ(std::string(first + 93, first + 97), std::string("0\0\0\0", 4)) << "year 0";
  EXPECT_EQ(first[127], 0) << "unset genre";
  const uint8_t* second = first + 128;
  EXPECT_EQ(std::string(second + 97, second + 125), "thirty characters of comment");
  EXPECT_EQ(second[125], 0);
  EXPECT_EQ(second[126], 5);
  EXPECT_EQ(std::string(second + 93, second + 97), "2024");
}

TEST(Id3v1Tags, PeersReadWhatItWritesAndItReadsWhatTheyWrite) {
  test::TempDir dir;
  const std::string mp3 = dir.File("tone.mp3");
  test::Shell("ffmpeg -v error -f lavfi -i sine=d=0.3 -c:a libmp3lame -id3v2_version 0 -write_id3v1 0 " +
              test::Quote(mp3));
  TId3v1Tags t;
  t.SetTitle("Caf\xC3\xA9 Song");
  t.SetArtist("The Artist");
  t.SetAlbum("An Album");
  t.SetYear(1987);
  t.SetComment("Some comment");
  t.SetTrack(9);
  t.SetGenre("Jazz");
  {
    File f(mp3);
    ASSERT_TRUE(t.WriteToFile(f.Fd, false));
  }
  auto probe = test::Shell("ffprobe -v error -show_entries format_tags -of default=nw=1 " + test::Quote(mp3));
  // ffprobe passes the Latin-1 bytes through as they are: compare ASCII only.
  for (const char* want : {"TAG:title=Caf", " Song\n", "TAG:artist=The Artist", "TAG:album=An Album", "TAG:date=1987",
                           "TAG:comment=Some comment", "TAG:track=9", "TAG:genre=Jazz"})
    EXPECT_NE(probe.find(want), std::string::npos) << want << "\n" << probe;
  auto mutagen = test::Python(
      "from mutagen.id3 import ID3\n"
      "t = ID3('" +
      mp3 +
      "')\n"
      "print(t['TIT2'], t['TPE1'], t['TALB'], t['TDRC'], t['TRCK'], t['TCON'].genres[0], "
      "t.getall('COMM')[0], sep='|')\n");
  EXPECT_EQ(mutagen, "Caf\xC3\xA9 Song|The Artist|An Album|1987|9|Jazz|Some comment\n");

  // And the other way round.
  const std::string other = dir.File("other.mp3");
  test::Shell("cp " + test::Quote(mp3) + " " + test::Quote(other));
  test::Python(
      "from mutagen.id3 import ID3, TIT2, TPE1, TALB, TDRC, TRCK, TCON, COMM\n"
      "t = ID3()\n"
      "t.add(TIT2(encoding=0, text='N\\u00e4me')); t.add(TPE1(encoding=0, text='Who'))\n"
      "t.add(TALB(encoding=0, text='What')); t.add(TDRC(encoding=0, text='2001'))\n"
      "t.add(TRCK(encoding=0, text='3')); t.add(TCON(encoding=0, text='Techno'))\n"
      "t.add(COMM(encoding=0, lang='eng', desc='', text='Note'))\n"
      "t.save('" +
      other + "', v1=2, v2_version=3)\n");
  TId3v1Tags r;
  File f(other, O_RDONLY);
  ASSERT_TRUE(r.ReadFromFile(f.Fd));
  EXPECT_EQ(r.Title(), "N\xC3\xA4me");
  EXPECT_EQ(r.Artist(), "Who");
  EXPECT_EQ(r.Album(), "What");
  EXPECT_EQ(r.Year(), 2001);
  EXPECT_EQ(r.Track(), 3);
  EXPECT_EQ(r.Genre(), "Techno");
  EXPECT_EQ(r.Comment(), "") << "mutagen puts no comment into ID3v1";
}
