#pragma once
// The ID3v1 tag set: the 128-byte block at the end of a file.

#include <array>
#include <cstdint>
#include <string>

#include "tags/au_tags.h"

namespace tonvale {

// The ID3v1 genre names by number.
extern const std::array<const char*, 148> Genres;
// The genre number of Name (letter case ignored), or -1.
int FindGenre(const std::string& Name);

using TId3v1TagsGenreId = uint8_t;  // 0..147

class TId3v1Tags : public TAuTags {
 public:
  TId3v1Tags();

  std::string Title() const { return AsString("title"); }
  void SetTitle(const std::string& Value) { SetValue("title", Value); }
  std::string Artist() const;
  void SetArtist(const std::string& Value) { SetValue("artist", Value); }
  std::string Album() const { return AsString("album"); }
  void SetAlbum(const std::string& Value) { SetValue("album", Value); }
  uint16_t Year() const { return static_cast<uint16_t>(AsInteger("year")); }
  void SetYear(uint16_t Value) { SetValue("year", Value); }
  std::string Comment() const { return AsString("comment"); }
  void SetComment(const std::string& Value) { SetValue("comment", Value); }
  uint8_t Track() const { return static_cast<uint8_t>(AsInteger("track")); }
  void SetTrack(uint8_t Value) { SetValue("track", Value); }
  // Numbers outside 0..147 read as 12 ("Other").
  TId3v1TagsGenreId GenreId() const;
  void SetGenreId(TId3v1TagsGenreId Value) { SetValue("genre", static_cast<uint8_t>(Value)); }
  std::string Genre() const { return Genres[GenreId()]; }
  // An unknown name leaves the genre as it was.
  void SetGenre(const std::string& Value);

  // Whether the last 128 bytes start with "TAG"; the position is kept.
  bool TagPresent(int FileHandle) override;
  // Reads the tag at the end of the file.
  bool ReadFromFile(int FileHandle) override;
  // Appends a tag at the end of the file.
  bool WriteToFile(int FileHandle, bool Unicode) override;
};

}  // namespace tonvale
