#include "platform/private_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <strings.h>

#include "platform/text.h"

namespace tonvale {

const char* const TPrivateProfile::kNotRegular = "it is not a regular file";

namespace {

std::string Trim(const std::string& S) {
  size_t a = 0, b = S.size();
  while (a < b && (S[a] == ' ' || S[a] == '\t' || S[a] == '\r')) ++a;
  while (b > a && (S[b - 1] == ' ' || S[b - 1] == '\t' || S[b - 1] == '\r')) --b;
  return S.substr(a, b - a);
}

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool SameName(const std::string& A, const std::string& B) { return ::strcasecmp(A.c_str(), B.c_str()) == 0; }

// The section a header line names, or false.
bool SectionOf(const std::string& Line, std::string& Name) {
  std::string t = Trim(Line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  Name = Trim(t.substr(1, close - 1));
  return true;
}

// The key and value of a key line, or false (comments and other lines).
bool KeyOf(const std::string& Line, std::string& Key, std::string* Value) {
  std::string t = Trim(Line);
  if (t.empty() || t[0] == ';' || t[0] == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  Key = Trim(t.substr(0, eq));
  if (Value) *Value = Trim(t.substr(eq + 1));
  return !Key.empty();
}

}  // namespace

// The file's bytes, at most one past the limit whatever its size. Only a
// regular file is read: a FIFO or a device would block or never end.
std::string TPrivateProfile::ReadAll() {
  // Without O_NONBLOCK, opening a FIFO waits for a writer.
  const int fd = ::open(FFileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) FProblem = "it cannot be read (" + ErrorText(errno) + ")";
    return "";
  }
  std::string all;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    FProblem = kNotRegular;
    FRefused = true;
  } else {
    all.assign(kMaxFile + 1, '\0');
    size_t done = 0;
    ssize_t n = 0;
    while (done < all.size() && (n = ::read(fd, all.data() + done, all.size() - done)) != 0) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        FProblem = "it cannot be read (" + ErrorText(errno) + ")";
        break;
      }
      done += static_cast<size_t>(n);
    }
    all.resize(FProblem.empty() ? done : 0);
  }
  ::close(fd);
  return all;
}

TPrivateProfile::TPrivateProfile(std::string FileName) : FFileName(std::move(FileName)) {
  std::string all = ReadAll();
  if (!FProblem.empty()) return;
  if (all.size() > kMaxFile) {
    FProblem = "it is larger than 1 MiB";
    FRefused = true;
    return;
  }
  // A byte-order mark (as Windows editors write one) is no part of the
  // first line; it is written back as it was.
  FBom = all.starts_with(kBom);
  if (FBom) all.erase(0, kBom.size());
  if (all.find("\r\n") != std::string::npos) FNewline = "\r\n";
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    if (end - start > kMaxLine) {
      FProblem = "it holds a line longer than 64 KiB";
      FRefused = true;
      FLines.clear();
      return;
    }
    std::string line = all.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    FLines.push_back(line);
    start = end + 1;
  }
}

int TPrivateProfile::FindKey(const std::string& Section, const std::string& Key, int* SectionLine) const {
  bool inSection = false;
  if (SectionLine) *SectionLine = -1;
  for (size_t i = 0; i < FLines.size(); ++i) {
    std::string name;
    if (SectionOf(FLines[i], name)) {
      inSection = SameName(name, Section);
      if (inSection && SectionLine && *SectionLine < 0) *SectionLine = static_cast<int>(i);
      continue;
    }
    std::string key;
    if (inSection && KeyOf(FLines[i], key, nullptr) && SameName(key, Key)) return static_cast<int>(i);
  }
  return -1;
}

std::string TPrivateProfile::ReadString(const std::string& Section, const std::string& Key,
                                        const std::string& Default) const {
  int line = FindKey(Section, Key, nullptr);
  std::string value = Default;
  if (line >= 0) {
    std::string key;
    KeyOf(FLines[line], key, &value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  }
  return Utf8Length(value) > kMaxValue ? Utf8Left(value, kMaxValue) : value;
}

int TPrivateProfile::ReadInteger(const std::string& Section, const std::string& Key, int Default) const {
  const std::string text = ReadString(Section, Key, "");
  std::string_view s = text;
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  long long n = 0;
  auto [end, err] = std::from_chars(s.data(), s.data() + s.size(), n, base);
  if (s.empty() || err != std::errc() || end != s.data() + s.size()) return Default;
  if (negative) n = -n;
  if (n < INT32_MIN || n > UINT32_MAX) return Default;
  return static_cast<int>(static_cast<int64_t>(n));
}

void TPrivateProfile::WriteString(const std::string& Section, const std::string& Key, const std::string& Value) {
  int sectionLine = -1;
  int line = FindKey(Section, Key, &sectionLine);
  const std::string entry = Key + "=" + Value;
  if (line >= 0) {
    FLines[line] = entry;
    return;
  }
  if (sectionLine < 0) {
    if (!FLines.empty() && !Trim(FLines.back()).empty()) FLines.push_back("");
    FLines.push_back("[" + Section + "]");
    FLines.push_back(entry);
    return;
  }
  // After the section's last non-blank line.
  size_t last = static_cast<size_t>(sectionLine);
  for (size_t i = last + 1; i < FLines.size(); ++i) {
    std::string name;
    if (SectionOf(FLines[i], name)) break;
    if (!Trim(FLines[i]).empty()) last = i;
  }
  FLines.insert(FLines.begin() + static_cast<long>(last) + 1, entry);
}

bool TPrivateProfile::Flush() const {
  if (!FProblem.empty()) return false;
  const size_t slash = FFileName.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : FFileName.substr(0, slash);
  std::string temp = folder + "/.options-XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  std::string text = FBom ? std::string(kBom) : "";
  for (const auto& line : FLines) text += line + FNewline;
  bool ok = true;
  size_t done = 0;
  while (ok && done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  struct stat st {};
  if (ok && ::stat(FFileName.c_str(), &st) == 0)
    ::fchmod(fd, st.st_mode & 07777);
  else if (ok)
    ::fchmod(fd, 0644);
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(temp.c_str(), FFileName.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

std::string GetPrivateProfileString(const std::string& Section, const std::string& Key, const std::string& Default,
                                    const std::string& FileName) {
  return TPrivateProfile(FileName).ReadString(Section, Key, Default);
}

int GetPrivateProfileInt(const std::string& Section, const std::string& Key, int Default, const std::string& FileName) {
  return TPrivateProfile(FileName).ReadInteger(Section, Key, Default);
}

bool WritePrivateProfileString(const std::string& Section, const std::string& Key, const std::string& Value,
                               const std::string& FileName) {
  TPrivateProfile profile(FileName);
  profile.WriteString(Section, Key, Value);
  return profile.Flush();
}

}  // namespace tonvale
