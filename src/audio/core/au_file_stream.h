#pragma once
// The file stream of the file components, opened by a 16-bit mode:
// 0xFFFF creates the file (replacing any existing one) for reading and
// writing, shared with nobody. Any other mode opens an existing file; its low
// two bits select the access (0 read, 1 write, 2 read and write) and bits 4
// to 7 the sharing (0 and 1 nobody, 2 others may read, 3 others may write,
// 4 others may read and write).

#include <cstdint>
#include <string>

#include "platform/handle_stream.h"

namespace tonvale {

constexpr uint16_t fmCreate = 0xFFFF;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

class TAuFileStream : public THandleStream {
 public:
  // Raises EAuException "Cannot create file %s" (mode 0xFFFF) or
  // "Cannot open file %s" when the file cannot be had with that mode.
  TAuFileStream(const std::string& FileName, uint16_t Mode, uint32_t Rights = 0);
};

}  // namespace tonvale
