#pragma once
// INI files with the semantics of the private-profile functions: sections
// and keys match without regard to letter case, spaces around keys and
// values are trimmed, one pair of enclosing double quotes is removed on
// reading, everything the program does not touch (comments, other sections
// and keys) is kept as it is, and the file is replaced atomically.

#include <string>
#include <vector>

namespace tonvale {

class TPrivateProfile {
 public:
  // The longest value a read gives, in characters.
  static constexpr size_t kMaxValue = 2047;

  // The largest file read and its longest line, in bytes: a larger one is
  // not a settings file (it would cost memory and time without end).
  static constexpr size_t kMaxFile = 1 << 20;
  static constexpr size_t kMaxLine = 64 << 10;

  // Reads FileName; a missing file is an empty profile. A file that cannot
  // be read, is no regular file or is past the limits is not read (Problem
  // says why) and Flush never writes over it.
  explicit TPrivateProfile(std::string FileName);

  // Why the file was not read, or empty.
  const std::string& Problem() const { return FProblem; }
  // The file is not read because it is no settings file at all (not a
  // regular file, past the limits), rather than because it could not be read.
  bool Refused() const { return FRefused; }
  static const char* const kNotRegular;

  std::string ReadString(const std::string& Section, const std::string& Key, const std::string& Default) const;
  // A whole decimal number, or hexadecimal after "0x"/"0X"; else Default.
  int ReadInteger(const std::string& Section, const std::string& Key, int Default) const;
  // Replaces the first key of that name where it stands, else adds it at the
  // end of its section, else appends the section.
  void WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
  // Writes the file through a temporary file in the same folder and a rename,
  // so a failure leaves the old file whole. False when it could not.
  bool Flush() const;

  const std::string& FileName() const { return FFileName; }

 private:
  // Index of the key line, or -1; Section receives the section's header line.
  int FindKey(const std::string& Section, const std::string& Key, int* SectionLine) const;

  std::string ReadAll();

  std::string FFileName;
  std::vector<std::string> FLines;
  std::string FNewline = "\n";
  std::string FProblem;
  bool FRefused = false;
  bool FBom = false;
};

std::string GetPrivateProfileString(const std::string& Section, const std::string& Key, const std::string& Default,
                                    const std::string& FileName);
int GetPrivateProfileInt(const std::string& Section, const std::string& Key, int Default, const std::string& FileName);
bool WritePrivateProfileString(const std::string& Section, const std::string& Key, const std::string& Value,
                               const std::string& FileName);

}  // namespace tonvale
