#include "platform/wmf/file_attributes.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "platform/text.h"

namespace tonvale::wmf {
namespace {

uint64_t Le(const uint8_t* P, int Bytes) {
  uint64_t v = 0;
  for (int i = Bytes - 1; i >= 0; --i) v = (v << 8) | P[i];
  return v;
}

// Appends Values under Name, after the values it already has; a value it
// has already (a title in both descriptions of an ASF header) counts once.
void Add(std::vector<TFrameTexts>& Out, const std::string& Name, const std::vector<std::u16string>& Values) {
  auto it = std::find_if(Out.begin(), Out.end(), [&](const TFrameTexts& T) { return T.first == Name; });
  if (it == Out.end()) it = Out.insert(Out.end(), {Name, {}});
  for (const auto& v : Values)
    if (std::find(it->second.begin(), it->second.end(), v) == it->second.end()) it->second.push_back(v);
}

// A UTF-16LE text of Size bytes split at its zeros, the terminator dropped.
std::vector<std::u16string> Utf16Values(const uint8_t* P, size_t Size) {
  std::vector<std::u16string> values(1);
  for (size_t i = 0; i + 1 < Size; i += 2) {
    const auto c = static_cast<char16_t>(P[i] | (P[i + 1] << 8));
    if (c == 0)
      values.emplace_back();
    else
      values.back().push_back(c);
  }
  while (values.size() > 1 && values.back().empty()) values.pop_back();
  return values;
}

std::string Utf16Name(const uint8_t* P, size_t Size) {
  const auto values = Utf16Values(P, Size);
  return Utf16ToUtf8(values.front());
}

const uint8_t kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const uint8_t kContentDescription[16] = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const uint8_t kExtendedContent[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                      0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
// Larger objects are not read whole (a description's values are 64 KiB
// each at most; the header extension is read one record at a time).
constexpr uint64_t kLargestObject = kLargestPicture + 1024 * 1024;

// One attribute's value as the file's: text, the better picture, or a
// number (a BOOL takes BoolWidth bytes: 4 in the extended content
// description, 2 in the metadata objects).
void AddAttribute(const std::string& Name, uint64_t Type, const uint8_t* V, uint64_t Length, int BoolWidth,
                  std::vector<TFrameTexts>& Out, TPicture& Picture) {
  if (Type == 0) {
    Add(Out, Name, Utf16Values(V, Length));
  } else if (Type == 1) {
    TPicture p;
    if (Name == "WM/Picture" && ParseWmPicture(V, Length, p) && BetterPicture(Picture, p)) Picture = std::move(p);
  } else if (Type >= 2 && Type <= 5) {
    const int width = Type == 2 ? BoolWidth : Type == 3 ? 4 : Type == 4 ? 8 : 2;
    if (Length >= static_cast<uint64_t>(width)) Add(Out, Name, {Utf8ToUtf16(std::to_string(Le(V, width)))});
  }
}

// True when the object holds a copyright.
bool ContentDescription(const std::vector<uint8_t>& O, std::vector<TFrameTexts>& Out) {
  static const char* const kNames[5] = {"Title", "Author", "Copyright", "Description", "Rating"};
  if (O.size() < 34) return false;
  size_t at = 34;
  bool copyright = false;
  for (int i = 0; i < 5; ++i) {
    const size_t n = Le(O.data() + 24 + 2 * i, 2);
    if (n > O.size() - at) break;
    auto values = Utf16Values(O.data() + at, n);
    if (!(values.size() == 1 && values.front().empty())) {
      Add(Out, kNames[i], values);
      copyright = copyright || i == 2;
    }
    at += n;
  }
  return copyright;
}

// True when the object holds an attribute named "Copyright" as written.
bool ExtendedContent(const std::vector<uint8_t>& O, std::vector<TFrameTexts>& Out, TPicture& Picture) {
  bool copyright = false;
  if (O.size() < 26) return copyright;
  const uint64_t count = Le(O.data() + 24, 2);
  size_t at = 26;
  for (uint64_t i = 0; i < count; ++i) {
    if (O.size() - at < 2) break;
    const size_t nameLength = Le(O.data() + at, 2);
    if (O.size() - at - 2 < nameLength + 4) break;
    const std::string name = Utf16Name(O.data() + at + 2, nameLength);
    at += 2 + nameLength;
    const uint64_t type = Le(O.data() + at, 2), length = Le(O.data() + at + 2, 2);
    at += 4;
    if (O.size() - at < length) break;
    const uint8_t* v = O.data() + at;
    at += length;
    AddAttribute(name, type, v, length, 4, Out, Picture);
    copyright = copyright || name == "Copyright";
  }
  return copyright;
}

const uint8_t kHeaderExtension[16] = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                      0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const uint8_t kMetadata[16] = {0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48,
                               0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
const uint8_t kMetadataLibrary[16] = {0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49,
                                      0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};

// The records of a metadata or metadata library object (in the header
// extension, where repeated and large attributes go) of Size bytes at At
// that describe the file, read one by one: a value larger than a picture
// kept is stepped over (and a picture so stepped over is left out).
void MetadataRecords(IStream& Stream, uint64_t At, uint64_t Size, std::vector<TFrameTexts>& Out, TPicture& Picture,
                     bool& PictureLeftOut) {
  uint8_t head[12];
  if (Size < 26 || !ReadAt(Stream, At + 24, head, 2)) return;
  const uint64_t count = Le(head, 2), end = At + Size;
  std::vector<uint8_t> record;
  for (uint64_t i = 0, at = At + 26; i < count && end - at >= 12; ++i) {
    if (!ReadAt(Stream, at, head, 12)) return;
    const uint64_t stream = Le(head + 2, 2), nameLength = Le(head + 4, 2), type = Le(head + 6, 2),
                   length = Le(head + 8, 4);
    at += 12;
    if (end - at < nameLength || end - at - nameLength < length) return;
    const bool large = length > kLargestPicture + 64 * 1024;
    record.resize(nameLength + (large ? 0 : length));
    if (!ReadAt(Stream, at, record.data(), static_cast<uint32_t>(record.size()))) return;
    at += nameLength + length;
    if (stream != 0) continue;
    const std::string name = Utf16Name(record.data(), nameLength);
    if (!large)
      AddAttribute(name, type, record.data() + nameLength, length, 2, Out, Picture);
    else if (name == "WM/Picture")
      PictureLeftOut = true;
  }
}

// The metadata objects of the header extension object of Size bytes at At.
void HeaderExtension(IStream& Stream, uint64_t At, uint64_t Size, std::vector<TFrameTexts>& Out, TPicture& Picture,
                     bool& PictureLeftOut) {
  uint8_t head[24];
  if (Size < 46 || !ReadAt(Stream, At + 42, head, 4)) return;
  const uint64_t end = At + 46 + std::min<uint64_t>(Le(head, 4), Size - 46);
  for (uint64_t at = At + 46; end - at >= 24;) {
    if (!ReadAt(Stream, at, head, 24)) return;
    const uint64_t n = Le(head + 16, 8);
    if (n < 24 || n > end - at) return;
    if (std::memcmp(head, kMetadata, 16) == 0 || std::memcmp(head, kMetadataLibrary, 16) == 0)
      MetadataRecords(Stream, at, n, Out, Picture, PictureLeftOut);
    at += n;
  }
}

}  // namespace

std::vector<TFrameTexts> ReadAsfAttributes(IStream& Stream, uint64_t Base, TPicture& Picture, bool& PictureLeftOut) {
  std::vector<TFrameTexts> out, later;
  uint8_t head[30];
  if (!ReadAt(Stream, Base, head, sizeof head) || std::memcmp(head, kHeader, 16) != 0) return out;
  const uint64_t headerEnd = Base + Le(head + 16, 8);
  const uint64_t objects = Le(head + 24, 4);
  uint64_t at = Base + 30;
  bool contentCopyright = false, extendedCopyright = false;
  for (uint64_t i = 0; i < objects && at + 24 <= headerEnd; ++i) {
    uint8_t object[24];
    if (!ReadAt(Stream, at, object, 24)) break;
    const uint64_t size = Le(object + 16, 8);
    if (size < 24 || size > headerEnd - at) break;
    const bool content = std::memcmp(object, kContentDescription, 16) == 0;
    const bool extended = std::memcmp(object, kExtendedContent, 16) == 0;
    if (std::memcmp(object, kHeaderExtension, 16) == 0)
      HeaderExtension(Stream, at, size, later, Picture, PictureLeftOut);
    if ((content || extended) && size <= kLargestObject) {
      std::vector<uint8_t> o(size);
      if (!ReadAt(Stream, at, o.data(), static_cast<uint32_t>(size))) break;
      if (content) contentCopyright = ContentDescription(o, out);
      if (extended) extendedCopyright = ExtendedContent(o, out, Picture);
    }
    at += size;
  }
  // Further values of a name follow its first, wherever the objects stand.
  for (const auto& [name, values] : later) Add(out, name, values);
  // Earlier versions of this program wrote the comment as the copyright,
  // through FFmpeg's muxer, which puts "Copyright" both in the content
  // description and among the extended attributes; this version and other
  // tools write it once. Such a file's copyright is its comment when it has
  // no description.
  const auto named = [&out](const char* Name) {
    return std::find_if(out.begin(), out.end(), [&](const TFrameTexts& T) { return T.first == Name; });
  };
  if (contentCopyright && extendedCopyright && named("Description") == out.end())
    named("Copyright")->first = "Description";
  return out;
}

bool TagValue(const std::vector<TFrameTexts>& Tags, const std::u16string& Name, std::u16string& Value) {
  static const std::pair<const char16_t*, std::vector<const char*>> kNames[] = {
      {u"Title", {"Title", "TIT2", "TT2"}},
      {u"Author", {"Author", "TPE1", "TP1", "Artist"}},
      {u"WM/AlbumTitle", {"WM/AlbumTitle", "TALB", "TAL", "Album"}},
      {u"WM/Genre", {"WM/Genre", "TCON", "TCO", "Genre"}},
      {u"WM/TrackNumber", {"WM/TrackNumber", "TRCK", "TRK", "Track"}},
      {u"WM/Track", {"WM/Track"}},
      {u"WM/Year", {"WM/Year", "TDRC", "TYER", "TYE", "Year", "date"}},
      {u"Description", {"Description", "COMM", "Comment"}},
      {u"Copyright", {"Copyright", "TCOP", "TCR"}},
      {u"WM/AlbumArtist", {"WM/AlbumArtist", "TPE2", "TP2", "Album Artist"}},
      {u"WM/PartOfSet", {"WM/PartOfSet", "TPOS", "TPA", "Disc"}},
      {u"WM/Composer", {"WM/Composer", "TCOM", "TCM", "Composer"}}};
  const auto* names =
      std::find_if(std::begin(kNames), std::end(kNames), [&](const auto& N) { return N.first == Name; });
  if (names == std::end(kNames)) return false;
  const bool comment = Name == u"Description";
  const auto described = [](const TFrameTexts& T) { return T.first.rfind("COMM:", 0) == 0; };
  const bool onlyDescribed =
      comment && std::count_if(Tags.begin(), Tags.end(), described) == 1 &&
      std::none_of(Tags.begin(), Tags.end(), [](const TFrameTexts& T) { return T.first == "COMM"; });
  const auto match = [&](const TFrameTexts& T) {
    return !T.second.empty() && (std::any_of(names->second.begin(), names->second.end(),
                                             [&](const char* Key) { return strcasecmp(T.first.c_str(), Key) == 0; }) ||
                                 (onlyDescribed && described(T)));
  };
  auto found = std::find_if(Tags.begin(), Tags.end(), match);
  // Without one, a comment as ffmpeg and some taggers write it: a user text
  // frame described "comment".
  if (found == Tags.end() && comment)
    found = std::find_if(Tags.begin(), Tags.end(),
                         [](const TFrameTexts& T) { return !T.second.empty() && T.first == "TXXX:comment"; });
  if (found == Tags.end()) return false;
  // Comments in several languages: each one's text is a value.
  std::vector<std::u16string> values = found->second;
  for (auto t = found + 1; found->first == "COMM" && t != Tags.end(); ++t) {
    if (t->first != "COMM") continue;
    for (const auto& v : t->second)
      if (std::find(values.begin(), values.end(), v) == values.end()) values.push_back(v);
  }
  Value.clear();
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) Value.push_back(u'\0');
    Value += values[i];
  }
  return true;
}

std::vector<TFrameTexts> ReadWaveTags(IStream& Stream, TLeadingTags* Id3) {
  static const std::pair<const char*, const char*> kInfo[] = {{"INAM", "TIT2"}, {"IART", "TPE1"},    {"IPRD", "TALB"},
                                                              {"ICRD", "TDRC"}, {"IGNR", "TCON"},    {"ITRK", "TRCK"},
                                                              {"IPRT", "TRCK"}, {"ICMT", "Comment"}, {"ICOP", "TCOP"}};
  std::vector<TFrameTexts> id3, info;
  TStatStg stat;
  uint8_t riff[12];
  if (Stream.Stat(&stat, 0) != S_OK || !ReadAt(Stream, 0, riff, 12) ||
      (std::memcmp(riff, "RIFF", 4) != 0 && std::memcmp(riff, "RF64", 4) != 0) || std::memcmp(riff + 8, "WAVE", 4) != 0)
    return {};
  uint64_t dataSize64 = 0;
  for (uint64_t at = 12; at + 8 <= stat.cbSize;) {
    uint8_t chunk[12];
    if (!ReadAt(Stream, at, chunk, 8)) break;
    uint64_t size = Le(chunk + 4, 4);
    if (std::memcmp(chunk, "ds64", 4) == 0 && size >= 16 && ReadAt(Stream, at + 8 + 8, chunk, 8))
      dataSize64 = Le(chunk, 8);
    if (std::memcmp(chunk, "data", 4) == 0 && size == 0xFFFFFFFF && dataSize64) size = dataSize64;
    if (size > stat.cbSize - at - 8) size = stat.cbSize - at - 8;
    if ((std::memcmp(chunk, "id3 ", 4) == 0 || std::memcmp(chunk, "ID3 ", 4) == 0)) {
      auto tags = ReadLeadingTags(Stream, at + 8);
      id3 = std::move(tags.Texts);
      if (Id3) *Id3 = std::move(tags);
    }
    if (std::memcmp(chunk, "LIST", 4) == 0 && size >= 4 && size <= kLargestObject) {
      std::vector<uint8_t> list(size);
      if (ReadAt(Stream, at + 8, list.data(), static_cast<uint32_t>(size)) &&
          std::memcmp(list.data(), "INFO", 4) == 0) {
        for (size_t i = 4; i + 8 <= list.size();) {
          const size_t n = std::min<size_t>(Le(list.data() + i + 4, 4), list.size() - i - 8);
          const std::string id(reinterpret_cast<const char*>(list.data() + i), 4);
          std::string text(reinterpret_cast<const char*>(list.data() + i + 8), n);
          text = text.substr(0, text.find('\0'));
          for (const auto& [from, to] : kInfo)
            if (id == from && !text.empty())
              Add(info, to, {IsUtf8(text) ? Utf8ToUtf16(text) : Windows1252ToUtf16(text)});
          i += 8 + n + (n & 1);
        }
      }
    }
    at += 8 + size + (size & 1);
  }
  id3.insert(id3.end(), info.begin(), info.end());
  return id3;
}

std::vector<TFrameTexts> ReadApeTag(IStream& Stream, uint64_t Base) {
  std::vector<TFrameTexts> out;
  TStatStg stat;
  if (Stream.Stat(&stat, 0) != S_OK || stat.cbSize < Base + 32) return out;
  uint64_t end = stat.cbSize;
  uint8_t tail[3];
  if (end >= Base + 128 + 32 && ReadAt(Stream, end - 128, tail, 3) && std::memcmp(tail, "TAG", 3) == 0) end -= 128;
  uint8_t footer[32];
  if (!ReadAt(Stream, end - 32, footer, 32) || std::memcmp(footer, "APETAGEX", 8) != 0) return out;
  const uint64_t size = Le(footer + 12, 4), count = Le(footer + 16, 4);
  if (size < 32 || size > end - Base || size > kLargestObject) return out;
  std::vector<uint8_t> items(size - 32);
  if (!ReadAt(Stream, end - size, items.data(), static_cast<uint32_t>(items.size()))) return out;
  size_t at = 0;
  for (uint64_t i = 0; i < count && items.size() - at >= 9; ++i) {
    const uint64_t length = Le(items.data() + at, 4), flags = Le(items.data() + at + 4, 4);
    at += 8;
    const auto* keyEnd = static_cast<const uint8_t*>(std::memchr(items.data() + at, 0, items.size() - at));
    if (!keyEnd) break;
    const std::string key(reinterpret_cast<const char*>(items.data() + at), keyEnd - (items.data() + at));
    at = static_cast<size_t>(keyEnd - items.data()) + 1;
    if (length > items.size() - at) break;
    if ((flags & 6) == 0) {
      // UTF-8 text; several values are separated by zeros.
      std::vector<std::u16string> values(1);
      for (size_t j = at; j < at + length; ++j) {
        if (items[j] == 0) {
          values.emplace_back();
        } else {
          const size_t from = j;
          while (j < at + length && items[j] != 0) ++j;
          values.back() = Utf8ToUtf16(std::string(reinterpret_cast<const char*>(items.data() + from), j - from));
          --j;
        }
      }
      Add(out, key, values);
    }
    at += length;
  }
  return out;
}

}  // namespace tonvale::wmf

namespace tonvale::wmf {

std::u16string AsfExtraValueName(const std::u16string& Name, size_t Index) {
  std::u16string name = Name;
  if (!name.empty() && Index > 0 && Index < 0x1000) name.back() = static_cast<char16_t>(kExtraValueMark + Index);
  return name;
}

std::vector<TAsfRecord> TidyAsfHeader(IStream& Stream, const std::vector<std::u16string>& Names) {
  static const uint8_t kPadding[16] = {0x74, 0xD4, 0x06, 0x18, 0xDF, 0xCA, 0x09, 0x45,
                                       0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA, 0xE8};
  static const char16_t* const kNames[5] = {u"Title", u"Author", u"Copyright", u"Description", u"Rating"};
  uint8_t head[30];
  if (!ReadAt(Stream, 0, head, sizeof head) || std::memcmp(head, kHeader, 16) != 0) return {};
  const uint64_t headerSize = Le(head + 16, 8);
  if (headerSize < 30 || headerSize > kLargestObject) return {};
  std::vector<uint8_t> h(headerSize);
  if (!ReadAt(Stream, 0, h.data(), static_cast<uint32_t>(headerSize))) return {};
  size_t content = 0, extended = 0;
  for (size_t at = 30; at + 24 <= h.size();) {
    const uint64_t size = Le(h.data() + at + 16, 8);
    if (size < 24 || size > h.size() - at) return {};
    if (std::memcmp(h.data() + at, kContentDescription, 16) == 0) content = at;
    if (std::memcmp(h.data() + at, kExtendedContent, 16) == 0) extended = at;
    at += size;
  }
  if (!extended || Le(h.data() + extended + 16, 8) < 26) return {};
  std::vector<std::u16string> held;
  if (content && Le(h.data() + content + 16, 8) >= 34)
    for (int i = 0; i < 5; ++i)
      if (Le(h.data() + content + 24 + 2 * i, 2) > 2) held.emplace_back(kNames[i]);
  // The descriptors: where each starts, its length, its name.
  struct TDescriptor {
    size_t At, Length, NameBytes;
    std::u16string Name;
  };
  std::vector<TDescriptor> descriptors;
  const uint64_t oldSize = Le(h.data() + extended + 16, 8);
  uint64_t freed = 0;
  // A further value's own name (FFmpeg's stand-in names end in a mark).
  const auto ownName = [&Names](const std::u16string& Name) {
    const char16_t last = Name.empty() ? 0 : Name.back();
    if (last <= kExtraValueMark || last >= kExtraValueMark + 0x1000) return Name;
    for (const auto& n : Names)
      if (n.size() == Name.size() && n.compare(0, n.size() - 1, Name, 0, n.size() - 1) == 0) return n;
    return Name;
  };
  const auto isHeld = [&held](const std::u16string& Name) {
    return std::find(held.begin(), held.end(), Name) != held.end();
  };
  for (size_t at = extended + 26, end = extended + oldSize; at < end;) {
    if (end - at < 6) return {};
    const size_t nameLength = Le(h.data() + at, 2);
    if (end - at < 6 + nameLength) return {};
    const size_t length = 6 + nameLength + Le(h.data() + at + 4 + nameLength, 2);
    if (end - at < length) return {};
    std::u16string name;
    for (size_t i = 0; i + 1 < nameLength; i += 2) name.push_back(static_cast<char16_t>(Le(h.data() + at + 2 + i, 2)));
    while (!name.empty() && name.back() == 0) name.pop_back();
    // A held name's first value (in the content description already) and
    // its further values (into the metadata library) leave.
    if (isHeld(ownName(name))) freed += length;
    descriptors.push_back({at, length, nameLength, name});
    at += length;
  }
  // What the content description holds goes: its space stands as a padding
  // object of its own, or, too small for one (a title of one letter alone),
  // as more terminating zeros of the first text of the content description.
  // A further value of a name gets its name back.
  size_t widened = 0;  // where the zeros go
  if (freed > 0 && freed < 24 && !held.empty()) {
    widened = content + 34;
    int field = 0;
    for (; Le(h.data() + content + 24 + 2 * field, 2) <= 2; ++field)
      widened += Le(h.data() + content + 24 + 2 * field, 2);
    widened += Le(h.data() + content + 24 + 2 * field, 2);
    if (Le(h.data() + content + 24 + 2 * field, 2) + freed > 0xFFFF ||
        widened > content + Le(h.data() + content + 16, 8))
      widened = 0;
    else
      for (int i = 0; i < 2; ++i)
        h[content + 24 + 2 * field + i] =
            static_cast<uint8_t>((Le(h.data() + content + 24 + 2 * field, 2) + freed) >> (8 * i));
  }
  const bool dropHeld = freed >= 24 || widened != 0;
  std::vector<uint8_t> kept(h.begin() + static_cast<std::ptrdiff_t>(extended),
                            h.begin() + static_cast<std::ptrdiff_t>(extended + 26));
  uint64_t count = 0;
  std::vector<TAsfRecord> moved;
  for (const auto& d : descriptors) {
    const std::u16string name = ownName(d.Name);
    if (dropHeld && isHeld(name)) {
      if (name != d.Name) {
        const uint8_t* type = h.data() + d.At + 2 + d.NameBytes;
        const uint8_t* end = h.data() + d.At + d.Length;
        moved.push_back({name, static_cast<uint16_t>(Le(type, 2)), std::vector<uint8_t>(type + 4, end)});
      }
      continue;
    }
    const size_t from = kept.size();
    kept.insert(kept.end(), h.begin() + static_cast<std::ptrdiff_t>(d.At),
                h.begin() + static_cast<std::ptrdiff_t>(d.At + d.Length));
    ++count;
    if (name == d.Name) continue;
    kept[from + 2 + 2 * (name.size() - 1)] = static_cast<uint8_t>(name.back() & 0xFF);
    kept[from + 3 + 2 * (name.size() - 1)] = static_cast<uint8_t>(name.back() >> 8);
  }
  const uint64_t slack = oldSize - kept.size();
  for (int i = 0; i < 8; ++i) kept[16 + i] = static_cast<uint8_t>(kept.size() >> (8 * i));
  kept[24] = static_cast<uint8_t>(count);
  kept[25] = static_cast<uint8_t>(count >> 8);
  if (slack >= 24) {
    std::vector<uint8_t> padding(slack, 0);
    std::memcpy(padding.data(), kPadding, 16);
    for (int i = 0; i < 8; ++i) padding[16 + i] = static_cast<uint8_t>(slack >> (8 * i));
    kept.insert(kept.end(), padding.begin(), padding.end());
    const uint32_t objects = static_cast<uint32_t>(Le(h.data() + 24, 4)) + 1;
    for (int i = 0; i < 4; ++i) h[24 + i] = static_cast<uint8_t>(objects >> (8 * i));
  }
  std::memcpy(h.data() + extended, kept.data(), kept.size());
  if (widened) {
    // The content description grows by the slack, the objects between move.
    const uint64_t contentSize = Le(h.data() + content + 16, 8) + slack;
    for (int i = 0; i < 8; ++i) h[content + 16 + i] = static_cast<uint8_t>(contentSize >> (8 * i));
    const auto at = [&h](size_t Index) { return h.begin() + static_cast<std::ptrdiff_t>(Index); };
    if (content < extended) {
      h.erase(at(extended + kept.size()), at(extended + kept.size() + slack));
      h.insert(at(widened), slack, 0);
    } else {
      h.insert(at(widened), slack, 0);
      h.erase(at(extended + kept.size()), at(extended + kept.size() + slack));
    }
  }
  uint32_t written = 0;
  if (Stream.Seek(0, STREAM_SEEK_SET, nullptr) != S_OK ||
      Stream.Write(h.data(), static_cast<uint32_t>(h.size()), &written) != S_OK || written != h.size())
    return {};
  return moved;
}

}  // namespace tonvale::wmf

namespace tonvale::wmf {

bool AddAsfLibrary(IStream& Stream, const std::vector<TAsfRecord>& Records) {
  static const uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  static const uint8_t kReserved1[16] = {0x11, 0xD2, 0xD3, 0xAB, 0xBA, 0xA9, 0xCF, 0x11,
                                         0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  const auto put = [](std::vector<uint8_t>& Out, size_t At, uint64_t V, int Bytes) {
    for (int i = 0; i < Bytes; ++i) Out[At + i] = static_cast<uint8_t>(V >> (8 * i));
  };
  TStatStg stat;
  uint8_t head[30];
  if (Records.empty() || Stream.Stat(&stat, 0) != S_OK || !ReadAt(Stream, 0, head, sizeof head) ||
      std::memcmp(head, kHeader, 16) != 0)
    return false;
  const uint64_t headerSize = Le(head + 16, 8);
  if (headerSize < 30 || headerSize > kLargestObject || headerSize > stat.cbSize) return false;
  std::vector<uint8_t> h(headerSize);
  if (!ReadAt(Stream, 0, h.data(), static_cast<uint32_t>(headerSize))) return false;
  // A metadata library object holding the records.
  std::vector<uint8_t> library(kMetadataLibrary, kMetadataLibrary + 16);
  library.resize(26);
  put(library, 24, Records.size(), 2);
  for (const auto& r : Records) {
    if (r.Value.size() > kLargestPicture + 4096) return false;
    const size_t at = library.size();
    library.resize(at + 12);
    put(library, at + 4, 2 * (r.Name.size() + 1), 2);
    put(library, at + 6, r.Type, 2);
    put(library, at + 8, r.Value.size(), 4);
    for (char16_t c : r.Name + u'\0')
      library.insert(library.end(), {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8)});
    library.insert(library.end(), r.Value.begin(), r.Value.end());
  }
  put(library, 16, library.size(), 8);
  // Into the header extension, or a new one after the file properties.
  size_t extension = 0, properties = 0;
  for (size_t at = 30; at + 24 <= h.size();) {
    const uint64_t size = Le(h.data() + at + 16, 8);
    if (size < 24 || size > h.size() - at) return false;
    if (std::memcmp(h.data() + at, kHeaderExtension, 16) == 0 && size >= 46) extension = at;
    if (std::memcmp(h.data() + at, kFileProperties, 16) == 0 && size >= 48) properties = at;
    at += size;
  }
  if (!properties) return false;
  if (extension) {
    const size_t end = extension + Le(h.data() + extension + 16, 8);
    h.insert(h.begin() + static_cast<std::ptrdiff_t>(end), library.begin(), library.end());
    put(h, extension + 16, Le(h.data() + extension + 16, 8) + library.size(), 8);
    put(h, extension + 42, Le(h.data() + extension + 42, 4) + library.size(), 4);
  } else {
    std::vector<uint8_t> object(kHeaderExtension, kHeaderExtension + 16);
    object.resize(24);
    object.insert(object.end(), kReserved1, kReserved1 + 16);
    object.insert(object.end(), {6, 0, 0, 0, 0, 0});
    put(object, 42, library.size(), 4);
    object.insert(object.end(), library.begin(), library.end());
    put(object, 16, object.size(), 8);
    // Before the content description, whose values then come last.
    const size_t after = properties + Le(h.data() + properties + 16, 8);
    h.insert(h.begin() + static_cast<std::ptrdiff_t>(after), object.begin(), object.end());
    put(h, 24, Le(h.data() + 24, 4) + 1, 4);
  }
  const uint64_t grown = h.size() - headerSize;
  put(h, 16, h.size(), 8);
  put(h, properties + 40, Le(h.data() + properties + 40, 8) + grown, 8);
  // What follows the header moves back by as much, from the end first.
  std::vector<uint8_t> buffer(1024 * 1024);
  for (uint64_t end = stat.cbSize; end > headerSize;) {
    const auto n = static_cast<uint32_t>(std::min<uint64_t>(buffer.size(), end - headerSize));
    end -= n;
    uint32_t written = 0;
    if (!ReadAt(Stream, end, buffer.data(), n) ||
        Stream.Seek(static_cast<int64_t>(end + grown), STREAM_SEEK_SET, nullptr) != S_OK ||
        Stream.Write(buffer.data(), n, &written) != S_OK || written != n)
      return false;
  }
  uint32_t written = 0;
  return Stream.Seek(0, STREAM_SEEK_SET, nullptr) == S_OK &&
         Stream.Write(h.data(), static_cast<uint32_t>(h.size()), &written) == S_OK && written == h.size();
}

}  // namespace tonvale::wmf
