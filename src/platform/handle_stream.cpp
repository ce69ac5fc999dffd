#include "platform/handle_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/text.h"

namespace tonvale {
void THandleStream::Fail(const char* What) {
  FLastError = errno;
  throw std::runtime_error(std::string(What) + ": " + ErrorText(FLastError));
}

THandleStream::~THandleStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int THandleStream::Open(const std::string& Path, TFileAccess Access, TFileSharing Sharing, bool Create) {
  int flags = O_CLOEXEC;
  switch (Access) {
    case TFileAccess::Read: flags |= O_RDONLY; break;
    case TFileAccess::Write: flags |= O_WRONLY; break;
    case TFileAccess::ReadWrite: flags |= O_RDWR; break;
  }
  if (Create) flags |= O_CREAT;
  // Non-blocking, so that a FIFO or a device cannot hold the open; only
  // regular files are taken.
  int fd = ::open(Path.c_str(), flags | O_NONBLOCK, 0666);
  if (fd < 0) return -1;
  struct stat st {};
  const bool known = ::fstat(fd, &st) == 0;
  if (!known || !S_ISREG(st.st_mode)) {
    const int err = !known ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    errno = err;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  int lock = (Sharing == TFileSharing::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  if (::flock(fd, lock) != 0 || (Create && ::ftruncate(fd, 0) != 0)) {
    int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  int64_t done = 0;
  auto* p = static_cast<char*>(Buffer);
  while (done < Count) {
    ssize_t n = ::read(FHandle, p + done, static_cast<size_t>(Count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Read error");
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  int64_t done = 0;
  auto* p = static_cast<const char*>(Buffer);
  while (done < Count) {
    ssize_t n = ::write(FHandle, p + done, static_cast<size_t>(Count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Stream write error");
    }
    done += n;
  }
  return done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int whence = Origin == TSeekOrigin::soBeginning ? SEEK_SET : Origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  return ::lseek(FHandle, Offset, whence);
}

void THandleStream::SetSize(int64_t NewSize) {
  if (::ftruncate(FHandle, NewSize) != 0) Fail("Cannot set the file size");
  if (Position() > NewSize) Seek(NewSize, TSeekOrigin::soBeginning);
}

int64_t THandleStream::Size() {
  struct stat st {};
  if (::fstat(FHandle, &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) return TStream::Size();
  return st.st_size;
}

}  // namespace tonvale
