#include "tags/id3v1_tags.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace tonvale {

const std::array<const char*, 148> Genres = {"Blues",
                                             "Classic Rock",
                                             "Country",
                                             "Dance",
                                             "Disco",
                                             "Funk",
                                             "Grunge",
                                             "Hip-Hop",
                                             "Jazz",
                                             "Metal",
                                             "New Age",
                                             "Oldies",
                                             "Other",
                                             "Pop",
                                             "R&B",
                                             "Rap",
                                             "Reggae",
                                             "Rock",
                                             "Techno",
                                             "Industrial",
                                             "Alternative",
                                             "Ska",
                                             "Death metal",
                                             "Pranks",
                                             "Soundtrack",
                                             "Euro-Techno",
                                             "Ambient",
                                             "Trip-Hop",
                                             "Vocal",
                                             "Jazz+Funk",
                                             "Fusion",
                                             "Trance",
                                             "Classical",
                                             "Instrumental",
                                             "Acid",
                                             "House",
                                             "Game",
                                             "Sound Clip",
                                             "Gospel",
                                             "Noise",
                                             "Alt. Rock",
                                             "Bass",
                                             "Soul",
                                             "Punk",
                                             "Space",
                                             "Meditative",
                                             "Instrumental pop",
                                             "Instrumental rock",
                                             "Ethnic",
                                             "Gothic",
                                             "Darkwave",
                                             "Techno-Industrial",
                                             "Electronic",
                                             "Pop-Folk",
                                             "Eurodance",
                                             "Dream",
                                             "Southern Rock",
                                             "Comedy",
                                             "Cult",
                                             "Gangsta",
                                             "Top 40",
                                             "Christian Rap",
                                             "Pop/Funk",
                                             "Jungle",
                                             "Native American",
                                             "Cabaret",
                                             "New Wave",
                                             "Psychedelic",
                                             "Rave",
                                             "Showtunes",
                                             "Trailer",
                                             "Lo-Fi",
                                             "Tribal",
                                             "Acid Punk",
                                             "Acid Jazz",
                                             "Polka",
                                             "Retro",
                                             "Musical",
                                             "Rock & Roll",
                                             "Hard Rock",
                                             "Folk",
                                             "Folk-Rock",
                                             "National Folk",
                                             "Swing",
                                             "Fast Fusion",
                                             "Bebob",
                                             "Latin",
                                             "Revival",
                                             "Celtic",
                                             "Bluegrass",
                                             "Avantgarde",
                                             "Gothic Rock",
                                             "Progressive Rock",
                                             "Psychedelic Rock",
                                             "Symphonic Rock",
                                             "Slow Rock",
                                             "Big Band",
                                             "Chorus",
                                             "Easy Listening",
                                             "Acoustic",
                                             "Humour",
                                             "Speech",
                                             "Chanson",
                                             "Opera",
                                             "Chamber music",
                                             "Sonata",
                                             "Symphony",
                                             "Booty Bass",
                                             "Primus",
                                             "Porn Groove",
                                             "Satire",
                                             "Slow Jam",
                                             "Club",
                                             "Tango",
                                             "Samba",
                                             "Folklore",
                                             "Ballad",
                                             "Power Ballad",
                                             "Rhythmic soul",
                                             "Freestyle",
                                             "Duet",
                                             "Punk Rock",
                                             "Drum Solo",
                                             "A Cappella",
                                             "Euro-House",
                                             "Dance Hall",
                                             "Goa",
                                             "Drum & Bass",
                                             "Club-House",
                                             "Hardcore",
                                             "Terror",
                                             "Indie",
                                             "BritPop",
                                             "Negerpunk",
                                             "Polsk Punk",
                                             "Beat",
                                             "Christian Gangsta Rap",
                                             "Heavy Metal",
                                             "Black Metal",
                                             "Crossover",
                                             "Contemporary Christian",
                                             "Christian Rock",
                                             "Merengue",
                                             "Salsa",
                                             "Thrash Metal",
                                             "Anime",
                                             "JPop",
                                             "Synthpop"};

int FindGenre(const std::string& Name) {
  for (size_t i = 0; i < Genres.size(); ++i)
    if (::strcasecmp(Genres[i], Name.c_str()) == 0) return static_cast<int>(i);
  return -1;
}

namespace {

constexpr int kTagSize = 128;

// The text of a fixed-width Latin-1 field, trimmed, as UTF-8.
std::string FieldText(const uint8_t* Block, int Offset, int Width) {
  std::string raw(reinterpret_cast<const char*>(Block + Offset), Width);
  return Latin1ToUtf8(TrimControl(raw));
}

// Copies at most Width Latin-1 characters of UTF-8 Text into Block.
void PutText(uint8_t* Block, int Offset, int Width, const std::string& Text) {
  std::string latin = Utf8ToLatin1(Text);
  std::copy_n(latin.data(), std::min<size_t>(latin.size(), static_cast<size_t>(Width)), Block + Offset);
}

bool ReadLastBlock(int FileHandle, uint8_t* Block) {
  if (::lseek(FileHandle, -kTagSize, SEEK_END) < 0) return false;
  return ::read(FileHandle, Block, kTagSize) == kTagSize;
}

}  // namespace

TId3v1Tags::TId3v1Tags() {
  for (const char* name : {"artist", "album", "genre", "year", "track", "title", "comment"}) AddField(name);
}

std::string TId3v1Tags::Artist() const {
  TTagValue v = GetValue("artist");
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* w = std::get_if<std::u16string>(&v)) return Utf16ToUtf8(*w);
  return {};
}

TId3v1TagsGenreId TId3v1Tags::GenreId() const {
  int32_t n = AsInteger("genre");
  return (n >= 0 && n <= 147) ? static_cast<TId3v1TagsGenreId>(n) : 12;
}

void TId3v1Tags::SetGenre(const std::string& Value) {
  int n = FindGenre(TrimControl(Value));
  if (n >= 0) SetValue("genre", static_cast<uint8_t>(n));
}

bool TId3v1Tags::TagPresent(int FileHandle) {
  if (!TAuTags::TagPresent(FileHandle)) return false;
  off_t pos = ::lseek(FileHandle, 0, SEEK_CUR);
  if (pos < 0) return false;
  uint8_t block[kTagSize];
  bool present = ReadLastBlock(FileHandle, block) && std::memcmp(block, "TAG", 3) == 0;
  ::lseek(FileHandle, pos, SEEK_SET);
  return present;
}

bool TId3v1Tags::ReadFromFile(int FileHandle) {
  if (!TAuTags::ReadFromFile(FileHandle)) return false;
  uint8_t b[kTagSize];
  if (!ReadLastBlock(FileHandle, b) || std::memcmp(b, "TAG", 3) != 0) return false;
  SetTitle(FieldText(b, 3, 30));
  SetArtist(FieldText(b, 33, 30));
  SetAlbum(FieldText(b, 63, 30));
  int32_t year = 0;
  SetYear(static_cast<uint16_t>(ParseInteger(FieldText(b, 93, 4), year) ? year : 0));
  bool v11 = (b[125] == 0 && b[126] != 0) || (b[125] == 32 && b[126] != 32);
  if (v11) {
    SetComment(FieldText(b, 97, 28));
    SetTrack(b[126]);
  } else {
    SetComment(FieldText(b, 97, 30));
    SetTrack(0);
  }
  SetValue("genre", b[127]);
  return true;
}

bool TId3v1Tags::WriteToFile(int FileHandle, bool Unicode) {
  if (!TAuTags::WriteToFile(FileHandle, Unicode)) return false;
  if (::lseek(FileHandle, 0, SEEK_END) < 0) return false;
  uint8_t b[kTagSize] = {'T', 'A', 'G'};
  PutText(b, 3, 30, Title());
  PutText(b, 33, 30, Artist());
  PutText(b, 63, 30, Album());
  PutText(b, 93, 4, std::to_string(Year()));
  // Always the form with a track (0: none), as readers take it.
  PutText(b, 97, 28, Comment());
  b[126] = Track();
  b[127] = GenreId();
  return ::write(FileHandle, b, kTagSize) == kTagSize;
}

}  // namespace tonvale
