#include "conversion/written_tags.h"

#include <gtest/gtest.h>

#include "support/audio_fixtures.h"
#include "support/peers.h"
#include "support/temp_dir.h"
#include "tags/genre_list.h"

using namespace tonvale;
using namespace tonvale::test;

// Tags as ffmpeg wrote them, read back with this program's readers: a value
// a tag holds whole (several joined by "; " in one text, a genre by its
// ID3v1 number) counts, one that no tag holds whole is named.
TEST(WrittenTags, ValuesNoTagHoldsWholeAreNamed) {
  TempDir dir;
  TTagValues values;
  values.TagTitle = "T";
  values.TagArtist = std::string("A\0B", 3);
  values.TagAlbum = "Gone";
  values.TagGenreIndex = GenrePosition("Rock");
  const std::string rock = " -metadata genre=Rock -metadata title=T -metadata artist='A; B'";
  const struct {
    std::string File, Args;
    std::vector<std::string> NotKept;
  } cases[] = {
      {"a.mp3", "-c:a libmp3lame -id3v2_version 4" + rock, {"album"}},
      {"b.mp3",
       "-c:a libmp3lame -metadata title=T -metadata album=Gone -metadata artist=A -metadata genre=Pop",
       {"artist", "genre"}},
      {"a.wma", "-c:a wmav2" + rock, {"album"}},
      {"a.wav", "-c:a pcm_s16le -metadata album=Gone -metadata artist='A; B'", {"title", "genre"}},
      {"v1.mp3", "", {"album"}},  // lame, an ID3v1 tag only
  };
  for (const auto& k : cases) {
    if (k.Args.empty())
      Shell("lame --quiet --id3v1-only --tt T --ta 'A; B' --tg Rock " + Quote(dir.File("a.wav")) + " " +
            Quote(dir.File(k.File)));
    else
      MakeAudio(dir.File(k.File), 0.2, 44100, 1, k.Args);
    EXPECT_EQ(ValuesNotKept(values, k.File, dir.File(k.File)), k.NotKept) << k.File;
  }
}
