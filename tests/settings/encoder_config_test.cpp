#include "settings/encoder_config.h"

#include <gtest/gtest.h>

#include "audio/lame/mp3_out.h"
#include "audio/winmedia/wma_out.h"
#include "settings/settings.h"
#include "settings/tag_values.h"
#include "tags/genre_list.h"

using namespace tonvale;

namespace {

void Defaults() {
  Settings = DefaultSettings();
  ResetTagValues();
}

}  // namespace

TEST(ConfigureMP3Out, CarriesTheSettings) {
  Defaults();
  TMP3Out out(nullptr);
  ConfigureMP3Out(out, Settings);
  EXPECT_EQ(out.Delay(), 1) << "CPU 3: no pause";
  EXPECT_EQ(out.BitRate(), br128);
  EXPECT_EQ(out.Mode(), JOINT_STEREO);
  EXPECT_EQ(out.VBRMinBitrate(), 128);
  EXPECT_EQ(out.VBRMaxBitrate(), 320);
  EXPECT_EQ(out.VBRQuality(), ql4);
  EXPECT_FALSE(out.EnableVBR());
  EXPECT_EQ(out.Quality(), ql5) << "untouched";
  EXPECT_TRUE(out.Original()) << "untouched";

  Settings.CPU = 1;
  Settings.ConstantBitRate = 8;
  Settings.VBRQuality = 0;
  Settings.IsSelectVBR = true;
  Settings.IsVBRHead = true;
  Settings.StereoMode = 3;
  ConfigureMP3Out(out, Settings);
  EXPECT_EQ(out.Delay(), 11);
  EXPECT_EQ(out.BitRate(), br320);
  EXPECT_EQ(out.VBRQuality(), ql0);
  EXPECT_TRUE(out.EnableVBR());
  EXPECT_TRUE(out.WriteVBRHeader());
  EXPECT_EQ(out.Mode(), MONO);

  Settings.ConstantBitRate = 9;
  Settings.VBRQuality = 10;
  Settings.CPU = 2;
  ConfigureMP3Out(out, Settings);
  EXPECT_EQ(out.BitRate(), br320) << "9 leaves it";
  EXPECT_EQ(out.VBRQuality(), ql0) << "10 leaves it";
  EXPECT_EQ(out.Delay(), 6);
}

TEST(ConfigureWMAOut, IndexesAndTagValues) {
  Defaults();
  TWMAOut out(nullptr);
  out.SetFileName("/music/out/My Song.final.wma");
  ConfigureWMAOut(out, Settings, TagValues, Settings.IsShowTagEditor);
  EXPECT_EQ(out.CodecIndex, 0);
  EXPECT_EQ(out.FormatIndex, 29);
  EXPECT_FALSE(out.VBR());
  EXPECT_EQ(out.Id3v2Tags().Title(), u"My Song.final") << "the output's name without folder and extension";

  // With the editor: non-empty values replace, empty ones leave.
  out.Id3v2Tags().Clear();
  out.Id3v2Tags().SetArtist(u"From source");
  TagValues.TagTitle = "Given";
  TagValues.TagAlbum = "Alb\xC3\xBCm";
  TagValues.TagGenreIndex = 18;  // Blues
  ConfigureWMAOut(out, Settings, TagValues, Settings.IsShowTagEditor);
  EXPECT_EQ(out.Id3v2Tags().Title(), u"Given");
  EXPECT_EQ(out.Id3v2Tags().Artist(), u"From source");
  EXPECT_EQ(out.Id3v2Tags().Album(), u"Alb\u00fcm");
  EXPECT_EQ(out.Id3v2Tags().Genre(), u"Blues");

  // Without the editor only the title is set.
  Settings.IsShowTagEditor = false;
  out.Id3v2Tags().Clear();
  ConfigureWMAOut(out, Settings, TagValues, Settings.IsShowTagEditor);
  EXPECT_EQ(out.Id3v2Tags().Title(), u"My Song.final");
  EXPECT_EQ(out.Id3v2Tags().Album(), u"");

  // Genre -1 and 0 set nothing.
  Settings.IsShowTagEditor = true;
  for (int index : {-1, 0}) {
    out.Id3v2Tags().Clear();
    TagValues.TagGenreIndex = index;
    ConfigureWMAOut(out, Settings, TagValues, Settings.IsShowTagEditor);
    EXPECT_EQ(out.Id3v2Tags().Genre(), u"");
  }
}

// Regression: a stored VBR choice of a codec without VBR formats (all of this
// runtime's), or format -1, failed every WMA conversion.
TEST(ConfigureWMAOut, StoredChoicesTheCodecLacksAreTheDefaultFormat) {
  const int32_t cases[][4] = {
      {1, 0, -1, 29}, {1, 0, 5, 5}, {0, 0, 100000, 29}, {0, 1, -1, 0}};  // VBR, codec, format -> used
  for (const auto& c : cases) {
    Defaults();
    std::tie(Settings.VBR, Settings.CodecIndex, Settings.FormatIndex) = std::tuple(c[0] != 0, c[1], c[2]);
    TWMAOut out(nullptr);
    ConfigureWMAOut(out, Settings, TagValues, false);
    EXPECT_FALSE(out.VBR());
    EXPECT_EQ(out.FormatIndex, c[3]) << c[2];
  }
}

TEST(TagValues, GenreNamesToListPositions) {
  EXPECT_EQ(GenreNameToIndex(""), 0);
  EXPECT_EQ(GenreNameToIndex("blues"), 18);
  EXPECT_EQ(GenreNameToIndex("VOCAL"), 148);
  EXPECT_EQ(GenreNameToIndex("a capella"), 1);
  // The published names of ID3v1 numbers name the same entries.
  EXPECT_EQ(GenreNameToIndex("A Cappella"), 1);
  EXPECT_EQ(GenreNameToIndex("drum & bass"), GenreNameToIndex("Drum & Base"));
  EXPECT_EQ(GenreNameToIndex("AlternRock"), GenreNameToIndex("Alt. Rock"));
  EXPECT_EQ(GenreNameToIndex("Rock "), -1);
  EXPECT_EQ(GenreNameToIndex("Not a genre"), -1);
  ResetTagValues();
  EXPECT_EQ(TagValues.TagGenreIndex, -1);
  EXPECT_EQ(TagValues.TagTitle, "");
}
