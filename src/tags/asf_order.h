#pragma once
// Where the values of a WMA attribute stand: TagLib lists them in the order
// of the header's objects, but readers take those of the extended content
// description first, then those of the header extension (wherever that
// stands). This reads only that much of the header.

#include <taglib/tiostream.h>

#include <map>
#include <string>

namespace tonvale {

struct TAsfOrder {
  std::map<std::string, unsigned> Extended;  // values in the extended content description, by name (UTF-8)
  bool ExtensionFirst = false;               // the header extension stands before it
};

TAsfOrder ReadAsfOrder(TagLib::IOStream& Stream);

}  // namespace tonvale
