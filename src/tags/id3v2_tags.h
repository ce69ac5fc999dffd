#pragma once
// The ID3v2 tag set: the values that travel with a file through a
// conversion, and reading (2.2, 2.3, 2.4) and writing (2.3) of an ID3v2 tag
// at the start of a file.

#include <cstdint>
#include <string>
#include <vector>

#include "tags/au_tags.h"
#include "tags/tag_fields.h"

namespace tonvale {

constexpr size_t kId3v2Padding = 1024;

class TId3v2Tags : public TAuTags {
 public:
  TId3v2Tags();

  // True: properties address the four-letter ids of 2.3/2.4; false: the
  // three-letter ids of 2.2. Set by ReadFromFile; not copied by Assign.
  bool NewFormat = true;

  std::u16string Title() const { return Get(0); }
  void SetTitle(const std::u16string& V) { Set(0, V); }
  std::u16string Artist() const { return Get(1); }
  void SetArtist(const std::u16string& V) { Set(1, V); }
  std::u16string Album() const { return Get(2); }
  void SetAlbum(const std::u16string& V) { Set(2, V); }
  std::u16string Track() const { return Get(3); }
  void SetTrack(const std::u16string& V) { Set(3, V); }
  std::u16string Year() const { return Get(4); }
  void SetYear(const std::u16string& V) { Set(4, V); }
  std::u16string Genre() const { return Get(5); }
  void SetGenre(const std::u16string& V) { Set(5, V); }
  std::u16string Comment() const { return Get(6); }
  void SetComment(const std::u16string& V) { Set(6, V); }
  std::u16string Composer() const { return Get(7); }
  void SetComposer(const std::u16string& V) { Set(7, V); }
  std::u16string Encoder() const { return Get(8); }
  void SetEncoder(const std::u16string& V) { Set(8, V); }
  std::u16string Copyright() const { return Get(9); }
  void SetCopyright(const std::u16string& V) { Set(9, V); }
  std::u16string Language() const { return Get(10); }
  void SetLanguage(const std::u16string& V) { Set(10, V); }
  std::u16string Link() const { return Get(11); }
  void SetLink(const std::u16string& V) { Set(11, V); }
  // The key under which the set holds a field of the table: its property's
  // frame where it has one ("TYER" for the year), else the field's frame.
  // The fields without a property are carried between files, not read or
  // written by the file operations below.
  std::string FieldKey(const TTagField& Field) const;
  // The front cover in the byte form of the WMA attribute "WM/Picture";
  // written as "APIC".
  std::string Picture() const { return AsString("APIC"); }
  void SetPicture(const std::string& Bytes) { SetValue("APIC", Bytes); }
  // The source had a picture too large to carry.
  uint8_t PictureLeftOut() const { return static_cast<uint8_t>(AsInteger("APIC:LEFT OUT")); }
  void SetPictureLeftOut(uint8_t Why) { SetValue("APIC:LEFT OUT", Why); }

  // Whether an acceptable header starts at the current position (kept).
  bool TagPresent(int FileHandle) override;
  // Reads the tag starting at the current position.
  bool ReadFromFile(int FileHandle) override;
  // Puts a new 2.3 tag in front of the file's contents.
  bool WriteToFile(int FileHandle, bool Unicode) override;

  // The property's frame id in the current format.
  std::string FrameId(int Property) const;

 private:
  std::u16string Get(int Property) const { return AsWideString(FrameId(Property)); }
  void Set(int Property, const std::u16string& V) { SetValue(FrameId(Property), V); }
  void HandleFrame(const std::string& Id, const uint8_t* Data, size_t Size);
};

}  // namespace tonvale
