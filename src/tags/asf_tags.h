#pragma once
// The tags of a WMA (ASF) file: its content description, extended content
// description and metadata library, read and written through TagLib.

#include <taglib/tiostream.h>

namespace tonvale {

struct TFileTags;

// Every field of the table from the file's attributes: a content
// description's value first, then the attributes of the same name in the
// order they stand; a zero inside a text separates values. A comment that
// earlier versions of this program wrote as "Copyright" in both places
// comes as the comment when the file has none.
void ReadAsfTags(TagLib::IOStream& Stream, TFileTags& Tags);

}  // namespace tonvale
