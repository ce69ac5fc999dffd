#pragma once
// An attached picture as every container carries it (ID3v2 "APIC", WMA
// "WM/Picture", FLAC and Vorbis picture blocks, MP4 "covr"), and the byte
// form in which a conversion's tag values hold it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tonvale {

struct TTagPicture {
  std::string Mime;
  uint8_t Type = 0;  // 3: the front cover
  std::u16string Description;
  std::vector<uint8_t> Data;
};

// Larger pictures are left out and reported.
constexpr uint64_t kLargestPicture = 16 * 1024 * 1024;
// Why a source's picture was left out: too large, or a link to one (MIME
// type "-->") rather than a picture.
constexpr uint8_t kPictureWasTooLarge = 1, kPictureWasLinked = 2;

// Whether Candidate replaces the picture kept so far: the front cover, else
// the first picture.
bool BetterPicture(const TTagPicture& Kept, const TTagPicture& Candidate);

// The MIME type of a picture by its data's own signature (image/jpeg,
// image/png, image/gif, image/webp, image/bmp); else Stated in lower case,
// with "jpg" and "image/jpg" as image/jpeg and a bare subtype under image/.
std::string PictureMime(const std::vector<uint8_t>& Data, const std::string& Stated);

// A picture in the byte form of the WMA attribute "WM/Picture" (its type,
// its size, its MIME type and description in UTF-16 ending in a null, its
// data), and back; false when Size bytes do not hold one.
std::vector<uint8_t> WmPictureBytes(const TTagPicture& Picture);
bool ParseWmPicture(const uint8_t* Bytes, size_t Size, TTagPicture& Picture);

}  // namespace tonvale
