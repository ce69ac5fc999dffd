// Feeds arbitrary bytes to the reader of a WAV file's LIST/INFO and id3 chunks.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/stream.h"
#include "platform/wmf/file_attributes.h"
#include "platform/wmf/stream_adapter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  tonvale::TMemoryStream stream(std::vector<uint8_t>(Data, Data + Size));
  tonvale::TStreamAdapter adapter(&stream);
  std::u16string value;
  tonvale::wmf::TagValue(tonvale::wmf::ReadWaveTags(adapter), u"Title", value);
  return 0;
}
