#include "tags/wave_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tonvale {
namespace {

void PutLe(std::vector<uint8_t>& Out, uint64_t V, int Bytes) {
  for (int i = 0; i < Bytes; ++i) Out.push_back(static_cast<uint8_t>(V >> (8 * i)));
}

bool WriteAt(int Fd, const std::vector<uint8_t>& Bytes, off_t At) {
  size_t done = 0;
  while (done < Bytes.size()) {
    const ssize_t n = ::pwrite(Fd, Bytes.data() + done, Bytes.size() - done, At + static_cast<off_t>(done));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int AppendWaveChunk(const std::string& Path, const std::vector<uint8_t>& Chunk) {
  const int fd = ::open(Path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = 0;
  uint8_t head[12];
  struct stat st {};
  if (::pread(fd, head, 12, 0) != 12 || ::fstat(fd, &st) != 0) {
    error = EIO;
  } else {
    const bool rf64 = std::memcmp(head, "RF64", 4) == 0;
    std::vector<uint8_t> tail;
    if (st.st_size % 2) tail.push_back(0);  // the pad byte of an odd last chunk
    tail.insert(tail.end(), Chunk.begin(), Chunk.end());
    const uint64_t riffSize = static_cast<uint64_t>(st.st_size) + tail.size() - 8;
    std::vector<uint8_t> size;
    PutLe(size, riffSize, rf64 ? 8 : 4);
    if (std::memcmp(head, "RIFF", 4) != 0 && !rf64)
      error = EINVAL;
    else if (!rf64 && riffSize > 0xFFFFFFFFu)
      error = EFBIG;
    else if (!WriteAt(fd, tail, st.st_size) || !WriteAt(fd, size, rf64 ? 20 : 4))
      error = errno ? errno : EIO;
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace tonvale
