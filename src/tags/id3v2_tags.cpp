#include "tags/id3v2_tags.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/text.h"
#include "tags/tag_text.h"

namespace tonvale {
namespace {

struct FrameIds {
  const char* Old;  // 2.2
  const char* New;  // 2.3 / 2.4
  bool InFile;
};

// Table order is the frame order of a written tag and the reader's search order.
constexpr FrameIds kFrames[12] = {{"TT2", "TIT2", true},  {"TP1", "TPE1", true},  {"TAL", "TALB", true},
                                  {"TRK", "TRCK", true},  {"TYE", "TYER", false}, {"TCO", "TCON", true},
                                  {"COM", "COMM", false}, {"TCM", "TCOM", true},  {"TEN", "TENC", true},
                                  {"TCR", "TCOP", true},  {"TLA", "TLAN", true},  {"WXX", "WXXX", true}};

struct Header {
  uint8_t Version;
  uint8_t Flags;
  uint32_t Size;
};

bool CheckHeader(const uint8_t* B, ssize_t Read, Header& H) {
  if (Read != 10 || std::memcmp(B, "ID3", 3) != 0 || B[4] == 0xFF) return false;
  H.Version = B[3];
  H.Flags = B[5];
  bool flagsOk = (H.Version == 2 && (H.Flags & 0x3F) == 0) || (H.Version == 3 && (H.Flags & 0x1F) == 0) ||
                 (H.Version == 4 && (H.Flags & 0x0F) == 0);
  if (!flagsOk) return false;
  for (int i = 6; i < 10; ++i)
    if (B[i] >= 0x80) return false;
  H.Size = (B[6] << 21) | (B[7] << 14) | (B[8] << 7) | B[9];
  return true;
}

ssize_t ReadFully(int Fd, void* Buffer, size_t Count) {
  size_t done = 0;
  while (done < Count) {
    ssize_t n = ::read(Fd, static_cast<char*>(Buffer) + done, Count - done);
    if (n < 0) return done > 0 ? static_cast<ssize_t>(done) : -1;
    if (n == 0) break;
    done += n;
  }
  return static_cast<ssize_t>(done);
}

void PutBigEndian32(std::vector<uint8_t>& Out, uint32_t V) {
  for (int shift = 24; shift >= 0; shift -= 8) Out.push_back(static_cast<uint8_t>(V >> shift));
}

// UTF-16 text from Size bytes, ending at the first zero unit. A byte-order
// mark sets the byte order and is not part of the text.
std::u16string Utf16Text(const uint8_t* Data, size_t Size) {
  bool bigEndian = false;
  size_t i = 0;
  if (Size >= 2 && Data[0] == 0xFF && Data[1] == 0xFE) {
    i = 2;
  } else if (Size >= 2 && Data[0] == 0xFE && Data[1] == 0xFF) {
    bigEndian = true;
    i = 2;
  }
  std::u16string text;
  for (; i + 1 < Size; i += 2) {
    char16_t c = bigEndian ? static_cast<char16_t>((Data[i] << 8) | Data[i + 1])
                           : static_cast<char16_t>(Data[i] | (Data[i + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

}  // namespace

TId3v2Tags::TId3v2Tags() {
  for (const auto& f : kFrames) {
    AddField(f.Old);
    AddField(f.New);
  }
  for (const TTagField& f : TagFields()) AddField(f.Id3v2);
  AddField("APIC");
  AddField("APIC:LEFT OUT");
}

std::string TId3v2Tags::FieldKey(const TTagField& Field) const {
  const std::string_view name = Field.Name;
  if (name == "year") return FrameId(4);
  if (name == "comment") return FrameId(6);
  return Field.Id3v2;
}

std::string TId3v2Tags::FrameId(int Property) const {
  return NewFormat ? kFrames[Property].New : kFrames[Property].Old;
}

bool TId3v2Tags::TagPresent(int FileHandle) {
  if (!TAuTags::TagPresent(FileHandle)) return false;
  off_t pos = ::lseek(FileHandle, 0, SEEK_CUR);
  if (pos < 0) return false;
  uint8_t b[10];
  Header h{};
  bool ok = CheckHeader(b, ReadFully(FileHandle, b, 10), h);
  ::lseek(FileHandle, pos, SEEK_SET);
  return ok;
}

bool TId3v2Tags::ReadFromFile(int FileHandle) {
  if (!TAuTags::ReadFromFile(FileHandle)) return false;
  uint8_t b[10];
  Header h{};
  if (!CheckHeader(b, ReadFully(FileHandle, b, 10), h)) return false;
  NewFormat = h.Version != 2;
  const off_t p = ::lseek(FileHandle, 0, SEEK_CUR);
  if (p < 0) return true;
  const int64_t end = p + static_cast<int64_t>(h.Size) + ((h.Flags & 0x10) ? 10 : 0);
  struct stat st {};
  if (::fstat(FileHandle, &st) != 0 || st.st_size < end) return true;

  const size_t headerSize = h.Version == 2 ? 6 : 10;
  int64_t e = p;
  bool failed = false;
  std::vector<uint8_t> data;
  while (e < end) {
    uint8_t fh[10];
    ssize_t n = ReadFully(FileHandle, fh, headerSize);
    if (n > 0) e += n;
    if (n != static_cast<ssize_t>(headerSize) || fh[0] < 'A' || fh[0] > 'Z' || e >= end) {
      failed = true;
      break;
    }
    uint32_t size;
    bool skip = false;
    if (h.Version == 2) {
      size = (fh[3] << 16) | (fh[4] << 8) | fh[5];
    } else if (h.Version == 4) {
      // 2.4 frame sizes are synchsafe.
      for (int i = 4; i < 8; ++i) skip |= fh[i] >= 0x80;
      size = (fh[4] << 21) | (fh[5] << 14) | (fh[6] << 7) | fh[7];
    } else {
      size = (uint32_t(fh[4]) << 24) | (fh[5] << 16) | (fh[6] << 8) | fh[7];
      skip = (size & 0x80000000u) != 0;
    }
    if (size == 0 || skip) continue;
    if (e + size > end) {
      // The frame would run past the tag: nothing of it is read.
      failed = true;
      break;
    }
    data.resize(size);
    n = ReadFully(FileHandle, data.data(), size);
    if (n > 0) e += n;
    if (n != static_cast<ssize_t>(size)) {
      failed = true;
      break;
    }
    HandleFrame(std::string(reinterpret_cast<char*>(fh), headerSize == 6 ? 3 : 4), data.data(), size);
  }
  if (failed) ::lseek(FileHandle, p, SEEK_SET);
  return true;
}

void TId3v2Tags::HandleFrame(const std::string& Id, const uint8_t* Data, size_t Size) {
  for (int i = 0; i < 12; ++i) {
    if (Id != FrameId(i)) continue;
    if (!kFrames[i].InFile || Size < 1) return;
    const uint8_t* text = Data + 1;
    size_t length = Size - 1;
    if (Id[0] == 'W') {
      // A link frame: skip its description, the address follows in Latin-1.
      if (Data[0] > 1) return;
      const size_t unit = Data[0] == 1 ? 2 : 1;
      size_t at = 0;
      while (at + unit <= length && !(text[at] == 0 && text[at + unit - 1] == 0)) at += unit;
      at = std::min(at + unit, length);
      size_t len = 0;
      while (at + len < length && text[at + len] != 0) ++len;
      SetValue(Id, Latin1ToUtf8(std::string(reinterpret_cast<const char*>(text + at), len)));
      return;
    }
    if (Data[0] == 0) {
      size_t len = 0;
      while (len < length && text[len] != 0) ++len;
      SetValue(Id, Latin1ToUtf8(std::string(reinterpret_cast<const char*>(text), len)));
    } else if (Data[0] == 1) {
      SetValue(Id, Utf16Text(text, length));
    }
    return;
  }
}

bool TId3v2Tags::WriteToFile(int FileHandle, bool Unicode) {
  if (!TAuTags::WriteToFile(FileHandle, Unicode)) return false;
  std::vector<uint8_t> frames;
  for (const auto& f : kFrames) {
    if (!f.InFile) continue;
    std::vector<uint8_t> text;
    if (std::strcmp(f.New, "WXXX") == 0) {
      // A link frame is an empty description, then the address in Latin-1.
      text.assign(Unicode ? 2 : 1, 0);
      std::string url = Utf8ToLatin1(AsString(f.New));
      text.insert(text.end(), url.begin(), url.end());
    } else if (Unicode) {
      for (char16_t c : AsWideString(f.New)) {
        text.push_back(static_cast<uint8_t>(c & 0xFF));
        text.push_back(static_cast<uint8_t>(c >> 8));
      }
      text.insert(text.end(), {0, 0});
    } else {
      std::string latin = Utf8ToLatin1(AsString(f.New));
      text.assign(latin.begin(), latin.end());
      text.push_back(0);
    }
    frames.insert(frames.end(), f.New, f.New + 4);
    PutBigEndian32(frames, static_cast<uint32_t>(text.size() + 1));
    frames.insert(frames.end(), {0, 0, static_cast<uint8_t>(Unicode ? 1 : 0)});
    frames.insert(frames.end(), text.begin(), text.end());
  }
  const uint32_t size = static_cast<uint32_t>(frames.size());
  // No unsynchronisation is applied, so the flags byte claims none.
  uint8_t header[10] = {'I',
                        'D',
                        '3',
                        3,
                        0,
                        0,
                        static_cast<uint8_t>((size >> 21) & 0x7F),
                        static_cast<uint8_t>((size >> 14) & 0x7F),
                        static_cast<uint8_t>((size >> 7) & 0x7F),
                        static_cast<uint8_t>(size & 0x7F)};
  const size_t n = 10 + frames.size();

  struct stat st {};
  if (::fstat(FileHandle, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const size_t oldSize = static_cast<size_t>(st.st_size);
  if (::ftruncate(FileHandle, static_cast<off_t>(oldSize + n)) != 0) return false;
  void* map = ::mmap(nullptr, oldSize + n, PROT_READ | PROT_WRITE, MAP_SHARED, FileHandle, 0);
  if (map == MAP_FAILED) {
    // Leave the file as it was.
    if (::ftruncate(FileHandle, static_cast<off_t>(oldSize)) != 0) return false;
    return false;
  }
  auto* bytes = static_cast<uint8_t*>(map);
  std::memmove(bytes + n, bytes, oldSize);
  std::memcpy(bytes, header, 10);
  std::memcpy(bytes + 10, frames.data(), frames.size());
  bool ok = ::msync(map, oldSize + n, MS_SYNC) == 0;
  ::munmap(map, oldSize + n);
  return ok;
}

}  // namespace tonvale
