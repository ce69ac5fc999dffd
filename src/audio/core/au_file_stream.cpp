#include "audio/core/au_file_stream.h"

#include <cerrno>
#include <cstring>

#include "audio/core/au_exception.h"
#include "platform/text.h"

namespace tonvale {
namespace {

int OpenByMode(const std::string& FileName, uint16_t Mode) {
  if (Mode == fmCreate) return THandleStream::Open(FileName, TFileAccess::ReadWrite, TFileSharing::Exclusive, true);
  unsigned access = Mode & 3;
  unsigned sharing = (Mode >> 4) & 0xF;
  if (access == 3 || sharing > 4 || (Mode & 0xFF00) != 0) return -1;
  TFileAccess a = access == 0 ? TFileAccess::Read : access == 1 ? TFileAccess::Write : TFileAccess::ReadWrite;
  TFileSharing s = sharing <= 1 ? TFileSharing::Exclusive : TFileSharing::Shared;
  return THandleStream::Open(FileName, a, s, false);
}

int OpenOrRaise(const std::string& FileName, uint16_t Mode) {
  errno = 0;
  int fd = FileName.empty() ? -1 : OpenByMode(FileName, Mode);
  if (fd < 0)
    throw EAuException((Mode == fmCreate ? "Cannot create file " : "Cannot open file ") + FileName,
                       errno ? SystemReason(errno) : "");
  return fd;
}

}  // namespace

std::string SystemReason(int Error) {
  switch (Error) {
    case EINVAL: return "not a regular file";  // a FIFO, a device or a socket at that name
    case EWOULDBLOCK: return "the file is in use by another program";
    default: return ErrorText(Error);
  }
}

TAuFileStream::TAuFileStream(const std::string& FileName, uint16_t Mode, uint32_t)
    : THandleStream(OpenOrRaise(FileName, Mode)) {}

}  // namespace tonvale
