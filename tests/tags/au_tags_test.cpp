#include "tags/au_tags.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "support/peers.h"
#include "support/temp_dir.h"
#include "tags/apev2_tags.h"
#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"

using namespace tonvale;

TEST(AuTags, NamesAreSortedWithoutCaseAndRegisteredOnce) {
  TId3v1Tags t;
  EXPECT_EQ(t.FieldCount(), 7);
  std::vector<std::string> names;
  for (int i = 0; i < t.FieldCount(); ++i) names.push_back(t.FieldNames(i));
  EXPECT_EQ(names, std::vector<std::string>({"album", "artist", "comment", "genre", "title", "track", "year"}));
  EXPECT_EQ(t.FieldNames(-1), "");
  EXPECT_EQ(t.FieldNames(7), "");
  t.AddField("TITLE");
  t.AddField("");
  EXPECT_EQ(t.FieldCount(), 7);
  t.SetValue("TiTlE", std::string("x"));
  EXPECT_EQ(t.AsString("title"), "x");
}

TEST(AuTags, StoresSetTheFlagsOnlyWhenSomethingChanges) {
  TId3v1Tags t;
  EXPECT_FALSE(t.Empty());
  EXPECT_FALSE(t.Changed());
  t.SetValue("nosuchfield", int32_t{1});
  EXPECT_FALSE(t.Changed());
  EXPECT_TRUE(TagValueIsNull(t.GetValue("nosuchfield")));
  t.Clear();
  EXPECT_TRUE(t.Empty());
  t.SetValue("title", std::string("a"));
  EXPECT_FALSE(t.Empty());
  EXPECT_TRUE(t.Changed());
  // Equal values, also across kinds, store nothing.
  EXPECT_TRUE(TagValuesEqual(uint8_t{7}, int32_t{7}));
  EXPECT_TRUE(TagValuesEqual(std::string("7"), uint16_t{7}));
  EXPECT_TRUE(TagValuesEqual(std::string("\xC3\xA9"), std::u16string{0xE9}));
  EXPECT_FALSE(TagValuesEqual(TTagValue{}, std::string()));
  EXPECT_TRUE(TagValuesEqual(TTagValue{}, TTagValue{}));
}

TEST(AuTags, TypedReadsConvertBetweenKinds) {
  TAPEv2Tags t;
  t.SetValue("Track", std::string("42"));
  EXPECT_EQ(t.AsInteger("Track"), 42);
  t.SetValue("Track", std::string("12/15"));
  EXPECT_EQ(t.AsInteger("Track"), 0);
  t.SetValue("Track", std::string("$1F"));
  EXPECT_EQ(t.AsInteger("Track"), 31);
  t.SetValue("Track", std::string("-8"));
  EXPECT_EQ(t.AsInteger("Track"), -8);
  t.SetValue("Year", uint8_t{7});
  EXPECT_EQ(t.AsString("Year"), "7");
  EXPECT_EQ(t.AsWideString("Year"), u"7");
  t.SetValue("Title", std::u16string(u"\u00e9t\u00e9"));
  EXPECT_EQ(t.AsString("Title"), "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(t.AsInteger("Title"), 0);
  EXPECT_EQ(t.AsInteger("unknown"), 0);
  EXPECT_EQ(t.AsString("Comment"), "");
}

TEST(AuTags, AssignCopiesSharedNamesOnly) {
  TId3v2Tags v2;
  v2.SetTitle(u"Song");
  TId3v1Tags v1;
  v1.SetTitle("Old");
  v1.Assign(v2);
  for (int i = 0; i < v1.FieldCount(); ++i) EXPECT_TRUE(TagValueIsNull(v1.GetValue(v1.FieldNames(i))));
  TAPEv2Tags ape;
  ape.Assign(v2);
  EXPECT_EQ(ape.Title(), u"") << "APEv2 keys are not ID3v2 frame ids";

  TId3v2Tags copy;
  copy.SetArtist(u"Gone");
  copy.Assign(v2);
  EXPECT_EQ(copy.Title(), u"Song");
  EXPECT_EQ(copy.Artist(), u"");
  v2.SetTitle(u"Changed");
  EXPECT_EQ(copy.Title(), u"Song") << "a copy, not a view";
  copy.Assign(copy);
  EXPECT_EQ(copy.Title(), u"Song") << "assigning a set to itself keeps it";
  TId3v2Tags back;
  v2.AssignTo(back);
  EXPECT_EQ(back.Title(), u"Changed");
}

TEST(APEv2Tags, PropertiesAreTheirItemsAndFilesAreLeftAlone) {
  TAPEv2Tags t;
  EXPECT_EQ(t.FieldCount(), 25);
  EXPECT_EQ(t.BarCode(), "");
  t.SetValue("ean/upc", std::string("123"));
  EXPECT_EQ(t.BarCode(), "123");
  t.SetLabelCode("LC 0815");
  EXPECT_EQ(t.AsString("LC"), "LC 0815");
  t.SetFile_(u"f");
  EXPECT_EQ(t.AsWideString("File"), u"f");
  t.SetSubTitle(u"s");
  EXPECT_EQ(t.AsWideString("SUBTITLE"), u"s");
  t.SetDebutAlbum(u"d");
  EXPECT_EQ(t.AsWideString("Debut album"), u"d");

  test::TempDir dir;
  const std::string path = dir.File("f.bin");
  test::WriteText(path, "contents");
  int fd = ::open(path.c_str(), O_RDWR);
  EXPECT_TRUE(t.TagPresent(fd));
  EXPECT_TRUE(t.WriteToFile(fd, true));
  EXPECT_TRUE(t.ReadFromFile(fd));
  EXPECT_EQ(t.BarCode(), "") << "reading clears the items";
  ::close(fd);
  EXPECT_EQ(test::ReadBytes(path).size(), 8u);
  EXPECT_FALSE(t.TagPresent(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(t.WriteToFile(INVALID_HANDLE_VALUE, false));
}
