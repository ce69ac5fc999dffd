#include "tags/tag_picture.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace tonvale {
namespace {

bool StartsWith(const std::vector<uint8_t>& Data, const char* Signature, size_t Size, size_t At = 0) {
  return Data.size() >= At + Size && std::memcmp(Data.data() + At, Signature, Size) == 0;
}

}  // namespace

bool BetterPicture(const TTagPicture& Kept, const TTagPicture& Candidate) {
  return Kept.Data.empty() || (Candidate.Type == 3 && Kept.Type != 3);
}

std::string PictureMime(const std::vector<uint8_t>& Data, const std::string& Stated) {
  if (StartsWith(Data, "\xFF\xD8\xFF", 3)) return "image/jpeg";
  if (StartsWith(Data, "\x89PNG\r\n\x1A\n", 8)) return "image/png";
  if (StartsWith(Data, "GIF87a", 6) || StartsWith(Data, "GIF89a", 6)) return "image/gif";
  if (StartsWith(Data, "RIFF", 4) && StartsWith(Data, "WEBP", 4, 8)) return "image/webp";
  if (StartsWith(Data, "BM", 2) && Data.size() >= 14) return "image/bmp";
  std::string mime = Stated;
  std::transform(mime.begin(), mime.end(), mime.begin(), [](char C) { return C >= 'A' && C <= 'Z' ? C + 32 : C; });
  if (mime.empty()) return "application/octet-stream";
  if (mime.find('/') == std::string::npos) mime = "image/" + mime;
  return mime == "image/jpg" || mime == "image/pjpeg" ? "image/jpeg" : mime;
}

std::vector<uint8_t> WmPictureBytes(const TTagPicture& Picture) {
  std::vector<uint8_t> out = {Picture.Type};
  const auto size = static_cast<uint32_t>(Picture.Data.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
  for (const std::u16string& text : {Latin1ToUtf16(Picture.Mime), Picture.Description}) {
    for (char16_t c : text) out.insert(out.end(), {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8)});
    out.insert(out.end(), {0, 0});
  }
  out.insert(out.end(), Picture.Data.begin(), Picture.Data.end());
  return out;
}

bool ParseWmPicture(const uint8_t* Bytes, size_t Size, TTagPicture& Picture) {
  if (Size < 5) return false;
  Picture.Type = Bytes[0];
  const uint32_t size = Bytes[1] | (Bytes[2] << 8) | (Bytes[3] << 16) | (uint32_t{Bytes[4]} << 24);
  size_t at = 5;
  std::u16string texts[2];
  for (auto& text : texts) {
    for (;; at += 2) {
      if (at + 2 > Size) return false;
      const auto c = static_cast<char16_t>(Bytes[at] | (Bytes[at + 1] << 8));
      if (c == 0) break;
      text.push_back(c);
    }
    at += 2;
  }
  if (size == 0 || size > Size - at || size > kLargestPicture) return false;
  Picture.Mime = Utf16ToLatin1(texts[0]);
  Picture.Description = texts[1];
  Picture.Data.assign(Bytes + at, Bytes + at + size);
  return true;
}

}  // namespace tonvale
