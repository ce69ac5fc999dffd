#pragma once
// Conversions between TagLib's strings and this program's texts, and the
// reading step every container shares.

#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>

#include <string>
#include <vector>

namespace tonvale {

struct TFileTags;

std::u16string ToU16(const TagLib::String& Text);
TagLib::String FromU16(const std::u16string& Text);
std::vector<std::u16string> ToU16(const TagLib::StringList& Texts);
TagLib::StringList FromU16(const std::vector<std::u16string>& Texts);

// Each field of the table from Properties by its property key; a comment
// also from the one described comment ("COMMENT:NOTES") when there is no
// plain one.
void AddProperties(const TagLib::PropertyMap& Properties, TFileTags& Tags);

}  // namespace tonvale
