#include "tags/genre_list.h"

#include <algorithm>
#include <cctype>

#include "platform/text.h"
#include "tags/id3v1_tags.h"

namespace tonvale {

const std::array<const char*, 149> GenreList = {"",
                                                "A Capella",
                                                "Acid",
                                                "Acid Jazz",
                                                "Acid Punk",
                                                "Acoustic",
                                                "Alt. Rock",
                                                "Alternative",
                                                "Ambient",
                                                "Anime",
                                                "Avantgarde",
                                                "Ballad",
                                                "Bass",
                                                "Beat",
                                                "Bebob",
                                                "Big Band",
                                                "Black Metal",
                                                "Bluegrass",
                                                "Blues",
                                                "Booty Bass",
                                                "BritPop",
                                                "Cabaret",
                                                "Celtic",
                                                "Chamber Music",
                                                "Chanson",
                                                "Chorus",
                                                "Christian Gangsta",
                                                "Christian Rap",
                                                "Christian Rock",
                                                "Classic Rock",
                                                "Classical",
                                                "Club",
                                                "Club-House",
                                                "Comedy",
                                                "Contemporary Christian",
                                                "Country",
                                                "Crossover",
                                                "Cult",
                                                "Dance",
                                                "Dance Hall",
                                                "Darkwave",
                                                "Death Metal",
                                                "Disco",
                                                "Dream",
                                                "Drum & Base",
                                                "Drum Solo",
                                                "Duet",
                                                "Easy Listening",
                                                "Electronic",
                                                "Ethnic",
                                                "Eurodance",
                                                "Euro-House",
                                                "Euro-Techno",
                                                "Fast-Fusion",
                                                "Folk",
                                                "Folk/Rock",
                                                "Folklore",
                                                "Freestyle",
                                                "Funk",
                                                "Fusion",
                                                "Game",
                                                "Gangsta Rap",
                                                "Goa",
                                                "Gospel",
                                                "Gothic",
                                                "Gothic Rock",
                                                "Grunge",
                                                "Hard Rock",
                                                "Hardcore",
                                                "Heavy Metal",
                                                "Hip-Hop",
                                                "House",
                                                "Humour",
                                                "Indie",
                                                "Industrial",
                                                "Instrumental",
                                                "Instrumental Pop",
                                                "Instrumental Rock",
                                                "Jazz",
                                                "Jazz+Funk",
                                                "JPop",
                                                "Jungle",
                                                "Latin",
                                                "Lo-Fi",
                                                "Meditative",
                                                "Merengue",
                                                "Metal",
                                                "Musical",
                                                "National Folk",
                                                "Native American",
                                                "Negerpunk",
                                                "New Age",
                                                "New Wave",
                                                "Noise",
                                                "Oldies",
                                                "Opera",
                                                "Other",
                                                "Polka",
                                                "Polsk Punk",
                                                "Pop",
                                                "Pop/Funk",
                                                "Pop-Folk",
                                                "Porn Groove",
                                                "Power Ballad",
                                                "Pranks",
                                                "Primus",
                                                "Progressive Rock",
                                                "Psychedelic",
                                                "Psychedelic Rock",
                                                "Punk",
                                                "Punk Rock",
                                                "R&B",
                                                "Rap",
                                                "Rave",
                                                "Reggae",
                                                "Retro",
                                                "Revival",
                                                "Rhythmic Soul",
                                                "Rock",
                                                "Rock & Roll",
                                                "Salsa",
                                                "Samba",
                                                "Satire",
                                                "Showtunes",
                                                "Ska",
                                                "Slow Jam",
                                                "Slow Rock",
                                                "Sonata",
                                                "Soul",
                                                "Sound Clip",
                                                "Soundtrack",
                                                "Southern Rock",
                                                "Space",
                                                "Speech",
                                                "Swing",
                                                "Symphonic Rock",
                                                "Symphony",
                                                "Synthpop",
                                                "Tango",
                                                "Techno",
                                                "Techno-Industrial",
                                                "Terror",
                                                "Thrash Metal",
                                                "Top 40",
                                                "Trailer",
                                                "Trance",
                                                "Tribal",
                                                "Trip-Hop",
                                                "Vocal"};

const std::array<uint8_t, 149> GenreMap = {
    255, 123, 34,  74,  73,  99,  40,  20,  26, 145, 90,  116, 41,  135, 85,  96,  138, 89,  0,   107, 132, 65,
    88,  104, 102, 97,  136, 61,  141, 1,   32, 112, 128, 57,  140, 2,   139, 58,  3,   125, 50,  22,  4,   55,
    127, 122, 120, 98,  52,  48,  54,  124, 25, 84,  80,  81,  115, 119, 5,   30,  36,  59,  126, 38,  49,  91,
    6,   79,  129, 137, 7,   35,  100, 131, 19, 33,  46,  47,  8,   29,  146, 63,  86,  71,  45,  142, 9,   77,
    82,  64,  133, 10,  66,  39,  11,  103, 12, 75,  134, 13,  62,  53,  109, 117, 23,  108, 92,  67,  93,  43,
    121, 14,  15,  68,  16,  76,  87,  118, 17, 78,  143, 114, 110, 69,  21,  111, 95,  105, 42,  37,  24,  56,
    44,  101, 83,  94,  106, 147, 113, 18,  51, 130, 144, 60,  70,  31,  72,  27,  28};

uint8_t GenreIndexToId3(uint8_t Index) { return Index >= GenreMap.size() ? 255 : GenreMap[Index]; }

std::string StandardGenreName(int Index) {
  return Index <= 0 || Index >= static_cast<int>(GenreMap.size()) ? "" : Genres[GenreMap[Index]];
}

namespace {

bool SameLetters(const std::string& A, const std::string& B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return std::toupper(static_cast<unsigned char>(X)) == std::toupper(static_cast<unsigned char>(Y));
         });
}

}  // namespace

int GenrePosition(const std::string& Name) {
  for (size_t i = 0; i < GenreList.size(); ++i)
    if (SameLetters(GenreList[i], Name) || (i > 0 && SameLetters(Genres[GenreMap[i]], Name)))
      return static_cast<int>(i);
  // Winamp's spelling of number 40.
  if (SameLetters(Name, "AlternRock"))
    return static_cast<int>(std::find(GenreMap.begin(), GenreMap.end(), 40) - GenreMap.begin());
  return -1;
}

std::u16string GenreByReference(const std::u16string& Text) {
  size_t at = Text.size() > 2 && Text[0] == u'(' ? 1 : 0;
  const size_t digits = at;
  unsigned number = 0;
  while (at < Text.size() && at - digits < 3 && Text[at] >= u'0' && Text[at] <= u'9')
    number = number * 10 + (Text[at++] - u'0');
  if (at == digits || number >= Genres.size()) return Text;
  if (digits == 0) return at == Text.size() ? Latin1ToUtf16(Genres[number]) : Text;
  if (at >= Text.size() || Text[at] != u')') return Text;
  // "(17)Rock": the text after the reference refines it.
  return at + 1 < Text.size() ? Text.substr(at + 1) : Latin1ToUtf16(Genres[number]);
}

}  // namespace tonvale
