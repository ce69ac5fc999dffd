#include "audio/core/au_file_out.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>

#include "audio/core/au_exception.h"
#include "platform/handle_stream.h"

namespace tonvale {
namespace {

std::string FolderOf(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  return slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
}

std::string NameOf(const std::string& Path) {
  const size_t slash = Path.find_last_of('/');
  return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

std::string Reason() { return SystemReason(errno); }

// Whether link failed because the file system has no hard links at all.
bool NoLinksHere(int Error) { return Error == EPERM || Error == ENOSYS || Error == EOPNOTSUPP || Error == EMLINK; }

}  // namespace

TAuFileOut::~TAuFileOut() {
  // A finished file that was held is complete: it takes its name.
  if (!FHeldFile.empty()) CommitFile(true);
}

void TAuFileOut::SetFileMode(TFileOutputMode) { FFileMode = foRewrite; }

std::unique_ptr<TStream> TAuFileOut::CreateOutputFile() {
  if (!FHeldFile.empty()) CommitFile(true);
  FTarget = FFileName;
  struct stat target {};
  // A link or any other entry of that name counts as an existing file.
  FTargetExisted = ::lstat(FTarget.c_str(), &target) == 0;
  if (FTargetExisted && S_ISDIR(target.st_mode)) {
    errno = EISDIR;
    throw EAuException("Cannot create file " + FTarget, Reason());
  }
  FAudioWritten = false;
  FAppeared = false;
  static thread_local std::mt19937_64 random{std::random_device{}()};
  static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  // The hidden name adds 16 bytes to the final one; a name that would then
  // pass the file system's limit gives up the end of its stem.
  std::string stem = NameOf(FTarget);
  const size_t room = NAME_MAX - std::string(".").size() - std::string(".tonvale-XXXXXX").size();
  if (stem.size() > room) stem.resize(room);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = FolderOf(FTarget) + "." + stem + ".tonvale-";
    for (int i = 0; i < 6; ++i) name += kDigits[random() % (sizeof kDigits - 1)];
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      throw EAuException("Cannot create file " + FTarget, Reason());
    }
    ::flock(fd, LOCK_EX | LOCK_NB);
    // A replaced regular file keeps its permissions; they are given to the
    // new file as it takes its name, so that it stays writable until then
    // (a held MP3 still gets its tag when the old file was read-only).
    FTargetMode = FTargetExisted && S_ISREG(target.st_mode) ? static_cast<int>(target.st_mode & 07777) : -1;
    FTempFile = name;
    return std::make_unique<THandleStream>(fd);
  }
  throw EAuException("Cannot create file " + FTarget, "no free temporary name");
}

void TAuFileOut::SettleOutputFile(bool Complete) {
  if (FTempFile.empty()) return;
  const std::string temp = std::move(FTempFile);
  FTempFile.clear();
  if (Complete && HoldFinishedFile) {
    FHeldFile = temp;
    return;
  }
  if (!Complete && (FTargetExisted || !FAudioWritten || KeepNoPartial)) {
    ::unlink(temp.c_str());
    return;
  }
  const bool replace = Replace == rrAlways || (Replace == rrAsFound && FTargetExisted);
  if (FTargetMode >= 0) ::chmod(temp.c_str(), static_cast<mode_t>(FTargetMode));
  if ((replace ? ::rename(temp.c_str(), FTarget.c_str()) : RenameNoReplace(temp, FTarget)) != 0) {
    const int error = errno;
    const std::string reason = Reason();
    ::unlink(temp.c_str());
    if (error == EEXIST && !replace) {
      FAppeared = true;
      throw EAuException("Cannot create file " + FTarget, "a file of that name appeared while converting");
    }
    throw EAuException("Cannot create file " + FTarget, reason);
  }
}

int TAuFileOut::RenameNoReplace(const std::string& From, const std::string& To) {
  if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  // A file system without the flag: a new link fails where a file stands.
  if (::link(From.c_str(), To.c_str()) == 0) {
    ::unlink(From.c_str());
    return 0;
  }
  if (errno == EEXIST || !NoLinksHere(errno)) return -1;
  // Neither (FUSE mounts: phones, SD cards, cloud drives): the name is taken
  // with an exclusive create, which fails where anything stands, and the
  // finished file is renamed over that placeholder, which is ours.
  const int fd = ::open(To.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return -1;
  ::close(fd);
  if (::rename(From.c_str(), To.c_str()) == 0) return 0;
  const int error = errno;
  ::unlink(To.c_str());
  errno = error;
  return -1;
}

void TAuFileOut::DiscardOutputFile() {
  if (FTempFile.empty()) return;
  ::unlink(FTempFile.c_str());
  FTempFile.clear();
}

std::string TAuFileOut::CommitFile(bool Complete) {
  if (FHeldFile.empty()) return "";
  FTempFile = std::move(FHeldFile);
  FHeldFile.clear();
  const bool hold = HoldFinishedFile;
  HoldFinishedFile = false;
  std::string error;
  try {
    SettleOutputFile(Complete);
  } catch (const EAuException& e) {
    error = e.Detail().empty() ? e.what() : e.what() + std::string(": ") + e.Detail();
  } catch (const std::exception& e) {
    error = e.what();
  }
  HoldFinishedFile = hold;
  return error;
}

}  // namespace tonvale
