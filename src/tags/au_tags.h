#pragma once
// The tag container: a fixed set of named values (names compared without
// regard to letter case, kept sorted) with typed reads, copying between sets
// and the file operations each tag format overrides.

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tonvale {

// A value cell: null, an integer of 8, 16 or 32 bits (signed or unsigned),
// 8-bit text (UTF-8) or wide text (UTF-16).
using TTagValue =
    std::variant<std::monostate, int8_t, uint8_t, int16_t, uint16_t, int32_t, uint32_t, std::string, std::u16string>;

bool TagValueIsNull(const TTagValue& Value);
// Null equals only null; integers compare by number, texts by text, and an
// integer equals the text of its decimal form.
bool TagValuesEqual(const TTagValue& A, const TTagValue& B);

constexpr int INVALID_HANDLE_VALUE = -1;

class TAuTags {
 public:
  TAuTags() = default;
  virtual ~TAuTags() = default;
  TAuTags(const TAuTags&) = delete;
  TAuTags& operator=(const TAuTags&) = delete;

  int FieldCount() const { return static_cast<int>(FFields.size()); }
  // The name at Index in sorted order; empty when out of range.
  std::string FieldNames(int Index) const;

  TTagValue GetValue(const std::string& Name) const;
  void SetValue(const std::string& Name, const TTagValue& Value);
  int32_t AsInteger(const std::string& Name) const;
  std::string AsString(const std::string& Name) const;
  std::u16string AsWideString(const std::string& Name) const;

  // Registers Name with a null value; empty or known names are ignored.
  void AddField(const std::string& Name);
  // Every value becomes null; the names stay.
  void Clear();
  // Clears this set, then takes the values of Source's fields that this set
  // also has.
  void Assign(const TAuTags& Source);
  void AssignTo(TAuTags& Dest) const { Dest.Assign(*this); }

  bool Empty() const { return FEmpty; }
  bool Changed() const { return FChanged; }

  // File operations on a descriptor the caller opened. The base versions only
  // check the descriptor (ReadFromFile also clears the set).
  virtual bool TagPresent(int FileHandle);
  virtual bool ReadFromFile(int FileHandle);
  virtual bool WriteToFile(int FileHandle, bool Unicode);

 protected:
  const TTagValue* Find(const std::string& Name) const;
  TTagValue* Find(const std::string& Name);

 private:
  std::vector<std::pair<std::string, TTagValue>> FFields;  // sorted by name, case-insensitively
  bool FEmpty = false;
  bool FChanged = false;
};

// Parses a whole text as a 32-bit integer: optional sign, then decimal digits
// or '$' / "0x" and hexadecimal digits. False when it is not one.
bool ParseInteger(const std::string& Text, int32_t& Value);
// Removes leading and trailing characters with codes 32 or below.
std::string TrimControl(const std::string& Text);

}  // namespace tonvale
