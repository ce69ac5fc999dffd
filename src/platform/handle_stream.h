#pragma once
// A stream over a POSIX file descriptor, opened by UTF-8 path with an access
// mode and an advisory sharing lock.

#include <string>

#include "platform/stream.h"

namespace tonvale {

enum class TFileAccess { Read, Write, ReadWrite };
// Exclusive: nobody else may open the file; Shared: others may open it with
// shared access as well. Locks are advisory flock() locks taken without waiting.
enum class TFileSharing { Exclusive, Shared };

class THandleStream : public TStream {
 public:
  // Takes ownership of Handle (closed on destruction when valid).
  explicit THandleStream(int Handle) : FHandle(Handle) {}
  ~THandleStream() override;
  THandleStream(const THandleStream&) = delete;
  THandleStream& operator=(const THandleStream&) = delete;

  // Opens Path; returns -1 (errno set) when it cannot be opened with that
  // access, is a folder, or the lock cannot be had. Create makes the file or
  // empties an existing one, but only once the lock is held.
  static int Open(const std::string& Path, TFileAccess Access, TFileSharing Sharing, bool Create);

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  void SetSize(int64_t NewSize) override;
  int64_t Size() override;

  int Handle() const { return FHandle; }
  // The errno of the last read or write that failed; 0 when none did.
  int LastError() const { return FLastError; }

 private:
  [[noreturn]] void Fail(const char* What);

  int FHandle;
  int FLastError = 0;
};

}  // namespace tonvale
