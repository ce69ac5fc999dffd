#include "tags/id3v2_tags.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using test::ReadBytes;
using test::WriteBytes;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Header(uint8_t Version, uint8_t Flags, uint32_t Size, uint8_t Revision = 0) {
  return {'I',
          'D',
          '3',
          Version,
          Revision,
          Flags,
          uint8_t((Size >> 21) & 0x7F),
          uint8_t((Size >> 14) & 0x7F),
          uint8_t((Size >> 7) & 0x7F),
          uint8_t(Size & 0x7F)};
}

// A frame of the given version: 2 (3-letter id, 24-bit size), 3 (plain 32-bit
// size) or 4 (synchsafe size).
Bytes Frame(int Version, const std::string& Id, const Bytes& Data) {
  Bytes f(Id.begin(), Id.end());
  uint32_t n = static_cast<uint32_t>(Data.size());
  if (Version == 2) {
    f.insert(f.end(), {uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  } else {
    if (Version == 4) n = ((n & 0xFE00000) << 3) | ((n & 0x1FC000) << 2) | ((n & 0x3F80) << 1) | (n & 0x7F);
    f.insert(f.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0, 0});
  }
  f.insert(f.end(), Data.begin(), Data.end());
  return f;
}

// An encoding-0 text frame body: encoding byte, text, terminator.
Bytes Latin(const std::string& Text) {
  Bytes b(Text.size() + 2, 0);
  std::copy(Text.begin(), Text.end(), b.begin() + 1);
  return b;
}

Bytes Tag(int Version, uint8_t Flags, std::initializer_list<Bytes> Frames, size_t Padding = 0) {
  Bytes body;
  for (auto& f : Frames) body.insert(body.end(), f.begin(), f.end());
  body.resize(body.size() + Padding, 0);
  Bytes tag = Header(static_cast<uint8_t>(Version), Flags, static_cast<uint32_t>(body.size()));
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

struct TagFile {
  test::TempDir Dir;
  std::string Path = Dir.File("t.mp3");
  int Fd = -1;
  explicit TagFile(const Bytes& Contents, int Flags = O_RDONLY) {
    Bytes all = Contents;
    all.resize(all.size() + 64, 0x55);  // audio after the tag
    WriteBytes(Path, all);
    Fd = ::open(Path.c_str(), Flags);
  }
  ~TagFile() { ::close(Fd); }
};

bool Present(const Bytes& Contents) {
  TagFile f(Contents);
  TId3v2Tags t;
  bool present = t.TagPresent(f.Fd);
  EXPECT_EQ(::lseek(f.Fd, 0, SEEK_CUR), 0);
  return present;
}

}  // namespace

TEST(Id3v2Tags, HeaderCheck) {
  EXPECT_TRUE(Present(Header(3, 0x80, 0)));
  EXPECT_FALSE(Present(Header(3, 0x10, 0))) << "only 2.4 has a footer";
  EXPECT_TRUE(Present(Header(4, 0x10, 0)));
  EXPECT_TRUE(Present(Header(2, 0xC0, 0)));
  EXPECT_FALSE(Present(Header(2, 0x20, 0)));
  EXPECT_FALSE(Present(Header(5, 0, 0)));
  EXPECT_FALSE(Present(Header(3, 0, 0, 0xFF)));
  Bytes big = Header(3, 0, 0);
  big[7] = 0x80;
  EXPECT_FALSE(Present(big));
  EXPECT_FALSE(Present({'I', 'D', '3', 3, 0}));
  EXPECT_FALSE(Present({'i', 'D', '3', 3, 0, 0, 0, 0, 0, 0}));
}

TEST(Id3v2Tags, ReadsVersion22AndSwitchesToItsIds) {
  TagFile f(Tag(2, 0, {Frame(2, "TT2", Latin("Hello")), Frame(2, "TP1", Latin("Caf\xE9"))}));
  TId3v2Tags t;
  ASSERT_TRUE(t.ReadFromFile(f.Fd));
  EXPECT_FALSE(t.NewFormat);
  EXPECT_EQ(t.Title(), u"Hello");
  EXPECT_EQ(t.Artist(), u"Caf\u00e9");
  // Copies keep the three-letter values, which four-letter properties do not see.
  TId3v2Tags copy;
  copy.Assign(t);
  EXPECT_TRUE(copy.NewFormat);
  EXPECT_EQ(copy.Title(), u"");
  EXPECT_EQ(copy.AsWideString("TT2"), u"Hello");
}

TEST(Id3v2Tags, IgnoresYearCommentOddEncodingsAndLowerCaseIds) {
  Bytes wide{1, 0xFF, 0xFE, 'W', 0, 'i', 0, 0, 0};  // with a byte-order mark
  Bytes utf8{3, 'U', 0};
  TagFile f(Tag(3, 0,
                {Frame(3, "TYER", Latin("1999")), Frame(3, "COMM", Latin("c")), Frame(3, "TALB", utf8),
                 Frame(3, "TPE1", wide), Frame(3, "Tit2", Latin("x")), Frame(3, "TCON", Latin("Rock"))}));
  TId3v2Tags t;
  t.SetYear(u"kept?");
  ASSERT_TRUE(t.ReadFromFile(f.Fd));
  EXPECT_EQ(t.Year(), u"");
  EXPECT_EQ(t.Comment(), u"");
  EXPECT_EQ(t.Album(), u"");
  EXPECT_EQ(t.Artist(), u"Wi");
  EXPECT_EQ(t.Title(), u"");
  EXPECT_EQ(t.Genre(), u"Rock") << "frames after the ignored ones are still read";
}

TEST(Id3v2Tags, PaddingEndsTheFramesAndLeavesThePositionAfterTheHeader) {
  TagFile f(Tag(3, 0, {Frame(3, "TIT2", Latin("One")), Frame(3, "TALB", Latin("Two"))}, 100));
  TId3v2Tags t;
  ASSERT_TRUE(t.ReadFromFile(f.Fd));
  EXPECT_EQ(t.Title(), u"One");
  EXPECT_EQ(t.Album(), u"Two");
  EXPECT_EQ(::lseek(f.Fd, 0, SEEK_CUR), 10);
}

TEST(Id3v2Tags, BrokenSizesEndTheReadCleanly) {
  // A frame claiming more than the tag holds, and text without a terminator.
  Bytes runaway = Frame(3, "TALB", Latin("x"));
  runaway[7] = 0x7F;
  TagFile f(Tag(3, 0, {Frame(3, "TIT2", {0, 'N', 'o', 'E', 'n', 'd'}), runaway}));
  TId3v2Tags t;
  ASSERT_TRUE(t.ReadFromFile(f.Fd));
  EXPECT_EQ(t.Title(), u"NoEnd");
  EXPECT_EQ(t.Album(), u"");
  // A tag claiming more than the file holds reads no frames.
  Bytes truncated = Tag(3, 0, {Frame(3, "TIT2", Latin("T"))});
  truncated[8] = 0x7F;
  TagFile g(truncated);
  EXPECT_TRUE(t.ReadFromFile(g.Fd));
  EXPECT_EQ(t.Title(), u"");
  // Odd-length UTF-16 and an empty frame.
  TagFile h(Tag(3, 0, {Frame(3, "TIT2", {1, 'A', 0, 'B'}), Frame(3, "TPE1", {})}));
  EXPECT_TRUE(t.ReadFromFile(h.Fd));
  EXPECT_EQ(t.Title(), u"A");
}

TEST(Id3v2Tags, Version24SizesAreSynchsafe) {
  std::string longText(300, 'L');
  TagFile f(Tag(4, 0, {Frame(4, "TCOM", Latin(longText)), Frame(4, "TIT2", Latin("After"))}));
  TId3v2Tags t;
  ASSERT_TRUE(t.ReadFromFile(f.Fd));
  EXPECT_EQ(t.Composer(), std::u16string(300, u'L'));
  EXPECT_EQ(t.Title(), u"After");
}

TEST(Id3v2Tags, WrittenFramesHaveTheDocumentedSizes) {
  for (bool unicode : {false, true}) {
    TagFile f({}, O_RDWR);
    TId3v2Tags t;
    t.SetTitle(u"Hello");
    ASSERT_TRUE(t.WriteToFile(f.Fd, unicode));
    Bytes b = ReadBytes(f.Path);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 6), std::string("ID3\x03\x00\x00", 6)) << "version 3, no flags";
    EXPECT_EQ(std::string(b.begin() + 10, b.begin() + 14), "TIT2");
    EXPECT_EQ(b[17], unicode ? 13 : 7);
    EXPECT_EQ(b[20], unicode ? 1 : 0);
    const size_t tagSize = unicode ? 10 + (10 + 13) + 9 * 13 : 10 + (10 + 7) + 9 * 12;
    ASSERT_EQ(b.size(), tagSize + 64);
    EXPECT_EQ(b[tagSize], 0x55) << "the old contents follow the tag";
  }
}

TEST(Id3v2Tags, EmptySetsAndRepeatedWrites) {
  TagFile f({}, O_RDWR);
  TId3v2Tags t;
  ASSERT_TRUE(t.WriteToFile(f.Fd, true));
  EXPECT_EQ(ReadBytes(f.Path).size(), 64u + 140u);
  ASSERT_TRUE(t.WriteToFile(f.Fd, false));
  EXPECT_EQ(ReadBytes(f.Path).size(), 64u + 140u + 130u);
  // Both tags are complete: the newer reads first, the older right after it.
  Bytes b = ReadBytes(f.Path);
  EXPECT_EQ(std::string(b.begin() + 130, b.begin() + 133), "ID3");
  t.SetTitle(u"Newest");
  ASSERT_TRUE(t.WriteToFile(f.Fd, false));
  ::lseek(f.Fd, 0, SEEK_SET);
  TId3v2Tags r;
  ASSERT_TRUE(r.ReadFromFile(f.Fd));
  EXPECT_EQ(r.Title(), u"Newest");
}

TEST(Id3v2Tags, MutagenReadsWhatItWrites) {
  for (bool unicode : {false, true}) {
    TagFile f({}, O_RDWR);
    TId3v2Tags t;
    t.SetTitle(unicode ? u"T\u00eftle \u266b" : u"T\u00eftle");
    t.SetArtist(u"Artist");
    t.SetAlbum(u"Album");
    t.SetTrack(u"4/12");
    t.SetGenre(u"Jazz");
    t.SetComposer(u"Composer");
    t.SetEncoder(u"Tonvale");
    t.SetCopyright(u"(c) 2026");
    t.SetLanguage(u"eng");
    t.SetLink(u"http://example.org");
    ASSERT_TRUE(t.WriteToFile(f.Fd, unicode));
    auto out = test::Python(
        "from mutagen.id3 import ID3\n"
        "t = ID3('" +
        f.Path +
        "')\n"
        "print(t.version, len(t.keys()))\n"
        "for k in ['TIT2','TPE1','TALB','TRCK','TCON','TCOM','TENC','TCOP','TLAN']: print(k, t[k].text[0])\n"
        "print(t.getall('WXXX')[0].url)\n");
    std::string title = unicode ? "T\xC3\xAFtle \xE2\x99\xAB" : "T\xC3\xAFtle";
    EXPECT_EQ(out, "(2, 3, 0) 10\nTIT2 " + title +
                       "\nTPE1 Artist\nTALB Album\nTRCK 4/12\nTCON Jazz\nTCOM Composer\n"
                       "TENC Tonvale\nTCOP (c) 2026\nTLAN eng\nhttp://example.org\n");
    // And it reads its own tag back whole.
    ::lseek(f.Fd, 0, SEEK_SET);
    TId3v2Tags r;
    ASSERT_TRUE(r.ReadFromFile(f.Fd));
    for (int i = 0; i < r.FieldCount(); ++i)
      EXPECT_EQ(r.AsWideString(r.FieldNames(i)), t.AsWideString(r.FieldNames(i))) << r.FieldNames(i);
  }
}

TEST(Id3v2Tags, ReadsWhatMutagenWrites) {
  for (int version : {3, 4}) {
    TagFile f({}, O_RDWR);
    test::Python(
        "from mutagen.id3 import ID3, TIT2, TPE1, TALB, TCOM, TCON, TRCK\n"
        "t = ID3()\n"
        "t.add(TCOM(encoding=0, text='" +
        std::string(200, 'C') +
        "'))\n"
        "t.add(TIT2(encoding=1, text='Ti\\u0163le \\u266b'))\n"
        "t.add(TPE1(encoding=0, text='Art\\u00e9'))\n"
        "t.add(TALB(encoding=1, text='Alb'))\n"
        "t.add(TRCK(encoding=0, text='7'))\n"
        "t.add(TCON(encoding=0, text='Rock'))\n"
        "t.save('" +
        f.Path + "', v2_version=" + std::to_string(version) + ", padding=lambda info: 500)\n");
    TId3v2Tags t;
    ASSERT_TRUE(t.ReadFromFile(f.Fd)) << version;
    EXPECT_EQ(t.Title(), u"Ti\u0163le \u266b") << version;
    EXPECT_EQ(t.Artist(), u"Art\u00e9") << version;
    EXPECT_EQ(t.Album(), u"Alb") << version;
    EXPECT_EQ(t.Track(), u"7") << version;
    EXPECT_EQ(t.Genre(), u"Rock") << version;
    EXPECT_EQ(t.Composer(), std::u16string(200, u'C')) << version;
  }
}
