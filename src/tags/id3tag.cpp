#include "tags/id3tag.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/handle_stream.h"
#include "platform/text.h"

namespace tonvale {
namespace {

// Text fields hold at most Width characters; in the block they are Latin-1,
// padded with zero bytes.
void PutField(uint8_t* Block, const std::string& Text, size_t Width) {
  std::string latin = Utf8ToLatin1(Text);
  std::memcpy(Block, latin.data(), std::min(latin.size(), Width));
}

}  // namespace

Tid3tag::Tid3tag() : Title(30, '\0'), Artist(30, '\0'), Album(30, '\0'), Year(4, '\0'), Comment(30, '\0') {}

void Tid3tag::SetTitle(const std::string& Text) { Title = Utf8Left(Text, 30); }
void Tid3tag::SetArtist(const std::string& Text) { Artist = Utf8Left(Text, 30); }
void Tid3tag::SetAlbum(const std::string& Text) { Album = Utf8Left(Text, 30); }
void Tid3tag::SetYear(const std::string& Text) { Year = Utf8Left(Text, 4); }
void Tid3tag::SetComment(const std::string& Text) { Comment = Utf8Left(Text, 28); }

void Tid3tag::SetTrack(uint8_t Value) {
  Track = Value;
  HasTrack = Value > 0;
}

std::array<uint8_t, 128> Tid3tag::Block() const {
  std::array<uint8_t, 128> block{};
  std::memcpy(block.data(), "TAG", 3);
  PutField(block.data() + 3, Title, 30);
  PutField(block.data() + 33, Artist, 30);
  PutField(block.data() + 63, Album, 30);
  PutField(block.data() + 93, Year, 4);
  // Always the form with a track (0: none): readers take the last byte of a
  // 30-byte comment for a track.
  PutField(block.data() + 97, Comment, 28);
  block[126] = HasTrack ? Track : 0;
  block[127] = Genre;
  return block;
}

uint16_t Tid3tag::WriteTag(const std::string& Name) {
  const std::string path = Name == "=" ? FileName : Name;
  struct stat st {};
  SystemError = 0;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    SystemError = path.empty() ? ENOENT : errno;
    return SystemError == ENOENT ? NotFound : NotWritable;
  }
  if (!S_ISREG(st.st_mode) || ::access(path.c_str(), W_OK) != 0) {
    SystemError = S_ISREG(st.st_mode) ? errno : EINVAL;
    return NotWritable;
  }

  int fd = THandleStream::Open(path, TFileAccess::ReadWrite, TFileSharing::Shared, false);
  if (fd < 0) {
    SystemError = errno;
    return NotFound;
  }
  THandleStream file(fd);  // closes the file on every path

  uint8_t block[128] = {};
  off_t size = ::lseek(fd, 0, SEEK_END);
  if (size < 0) return OtherError;
  off_t at = size;
  if (size >= 128) {
    if (::pread(fd, block, 128, size - 128) != 128) {
      SystemError = errno ? errno : EIO;
      return ReadFailed;
    }
    if (std::memcmp(block, "TAG", 3) == 0) at = size - 128;
  }

  const auto tag = Block();
  std::memcpy(block, tag.data(), sizeof block);
  for (ssize_t done = 0; done < 128;) {
    const ssize_t n = ::pwrite(fd, block + done, static_cast<size_t>(128 - done), at + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A tag cut short (a full disk) is taken back off: the file ends as it did.
      SystemError = n < 0 ? errno : EIO;
      const int restored = ::ftruncate(fd, size);
      (void)restored;
      return WriteFailed;
    }
    done += n;
  }
  FileName = path;
  return Ok;
}

}  // namespace tonvale
