#include "tags/asf_order.h"

#include <taglib/tstring.h>

namespace tonvale {
namespace {

using TagLib::ByteVector;

const ByteVector kExtended("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16);
const ByteVector kExtension("\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65", 16);

// The names of the descriptors in an extended content description's data.
void CountNames(const ByteVector& Data, TAsfOrder& Order) {
  unsigned at = 2;
  for (unsigned n = Data.size() >= 2 ? Data.toUShort(0U, false) : 0; n > 0 && at + 2 <= Data.size(); --n) {
    const unsigned nameSize = Data.toUShort(at, false);
    if (at + 2 + nameSize + 4 > Data.size()) return;
    TagLib::String name(Data.mid(at + 2, nameSize), TagLib::String::UTF16LE);
    const std::string key = name.to8Bit(true);
    ++Order.Extended[key.substr(0, key.find('\0'))];
    at += 2 + nameSize + 2;
    at += 2 + Data.toUShort(at, false);
  }
}

}  // namespace

TAsfOrder ReadAsfOrder(TagLib::IOStream& Stream) {
  TAsfOrder order;
  Stream.seek(0);
  const ByteVector header = Stream.readBlock(30);
  if (header.size() < 30) return order;
  const unsigned count = header.toUInt(24U, false);
  long at = 30;
  bool extension = false;
  for (unsigned i = 0; i < count && i < 1024; ++i) {
    Stream.seek(at);
    const ByteVector object = Stream.readBlock(24);
    const long long size = object.size() == 24 ? object.toLongLong(16U, false) : 0;
    if (size < 24 || size > Stream.length() - at) break;  // no object claims more than the file holds
    if (object.startsWith(kExtension)) extension = true;
    if (object.startsWith(kExtended) && size < (64LL << 20)) {
      order.ExtensionFirst = extension;
      CountNames(Stream.readBlock(static_cast<unsigned>(size - 24)), order);
    }
    at += static_cast<long>(size);
  }
  Stream.seek(0);
  return order;
}

}  // namespace tonvale
