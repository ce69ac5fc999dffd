#pragma once
// The reader half of the Windows Media wrapper: a record and the functions
// that drive the runtime's synchronous reader.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/wmf/stream_adapter.h"
#include "platform/stream.h"
#include "platform/wmf/wmf_interfaces.h"

namespace tonvale {

struct TWMAReader {
  std::shared_ptr<TStreamAdapter> Adapter;
  std::shared_ptr<IWMSyncReader> Reader;
  std::shared_ptr<INSSBuffer> Sample;
  std::shared_ptr<IWMHeaderInfo> HeaderInfo;
  uint32_t SampleOffset = 0;
  std::shared_ptr<IStream> AdapterStream;
  uint16_t StreamNumber = 0;
  uint32_t OutputNumber = 0;
  bool Found = false;
  bool Protected = false;
  // Why the source could not be opened when a read of it failed (the
  // system's reason); empty when it is just not a file the runtime reads.
  std::string OpenError;
  uint32_t Channels = 0;
  uint32_t SampleRate = 0;
  uint32_t BitsPerSample = 0;
  uint64_t Duration = 0;
  // The samples (per channel) the runtime counted in the stream; -1 when it
  // did not count them.
  int64_t SampleCount = -1;
};

// Expected: the kind of file Source is named as ("mp3"), or empty.
void WMAReaderOpen(TWMAReader& R, TStream* Source, const std::string& Expected = "");
void WMAReaderClose(TWMAReader& R);
// Hands out decoded bytes without copying: Buffer points into the runtime's
// sample, valid until the next read; Bytes 0 at the end. A source that
// cannot be read raises EAuException with the reason.
void WMAReaderRead(TWMAReader& R, uint8_t*& Buffer, uint32_t& Bytes);
// Time in 100-ns units.
void WMAReaderSeek(TWMAReader& R, uint64_t Time);
// A string attribute without its terminating null (a null inside separates
// several values); empty when it cannot be read.
std::u16string WMAReaderTag(TWMAReader& R, const std::u16string& Name);
// A byte-array attribute as it stands; empty when there is none.
std::string WMAReaderBytes(TWMAReader& R, const std::u16string& Name);

std::u16string WMAReaderAuthor(TWMAReader& R);
std::u16string WMAReaderTitle(TWMAReader& R);
std::u16string WMAReaderAlbum(TWMAReader& R);
std::u16string WMAReaderGenre(TWMAReader& R);
std::u16string WMAReaderTrack(TWMAReader& R);
std::u16string WMAReaderYear(TWMAReader& R);
std::u16string WMAReaderCopyright(TWMAReader& R);

}  // namespace tonvale
