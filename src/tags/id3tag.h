#pragma once
// Writes an ID3v1 tag into an existing file, replacing a tag already at its
// end. Texts are UTF-8 here and ISO-8859-1 in the file.

#include <array>
#include <cstdint>
#include <string>

namespace tonvale {

class Tid3tag {
 public:
  // Result codes of WriteTag (the error is in the high byte).
  static constexpr uint16_t Ok = 0;
  static constexpr uint16_t NotFound = 0x100;     // missing, or could not be opened
  static constexpr uint16_t NotWritable = 0x200;  // read-only for this user, or not a regular file
  static constexpr uint16_t ReadFailed = 0x300;
  static constexpr uint16_t WriteFailed = 0x400;
  // The system's error number behind the last failed WriteTag; 0 after success.
  int SystemError = 0;
  static constexpr uint16_t OtherError = 0x500;

  Tid3tag();

  void SetTitle(const std::string& Text);
  void SetArtist(const std::string& Text);
  void SetAlbum(const std::string& Text);
  void SetYear(const std::string& Text);
  void SetComment(const std::string& Text);
  void SetTrack(uint8_t Value);

  // The 128 bytes of the tag.
  std::array<uint8_t, 128> Block() const;
  // Writes the tag; "=" stands for the file of the last successful write.
  uint16_t WriteTag(const std::string& FileName);

  bool HasTrack = false;
  std::string FileName;
  std::string Title, Artist, Album, Year, Comment;
  uint8_t Genre = 255;  // ID3v1 number; 255: none
  uint8_t Track = 0;
};

}  // namespace tonvale
