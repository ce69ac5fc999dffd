#include "tags/taglib_text.h"

#include "platform/text.h"
#include "tags/file_tags.h"
#include "tags/tag_fields.h"

namespace tonvale {

std::u16string ToU16(const TagLib::String& Text) { return Utf8ToUtf16(Text.to8Bit(true)); }

TagLib::String FromU16(const std::u16string& Text) { return {Utf16ToUtf8(Text), TagLib::String::UTF8}; }

std::vector<std::u16string> ToU16(const TagLib::StringList& Texts) {
  std::vector<std::u16string> out;
  for (const auto& t : Texts)
    if (!t.isEmpty()) out.push_back(ToU16(t));
  return out;
}

TagLib::StringList FromU16(const std::vector<std::u16string>& Texts) {
  TagLib::StringList out;
  for (const auto& t : Texts) out.append(FromU16(t));
  return out;
}

void AddProperties(const TagLib::PropertyMap& Properties, TFileTags& Tags) {
  for (const TTagField& f : TagFields()) {
    const auto found = Properties.find(f.Property);
    if (found != Properties.end()) Tags.Add(f.Name, ToU16(found->second));
  }
  if (!Tags.Values("comment").empty()) return;
  const TagLib::StringList* described = nullptr;
  for (const auto& [key, values] : Properties) {
    // iTunes' technical comments (iTunNORM, iTunSMPB...) are no comment.
    if (!key.startsWith("COMMENT:") || key.startsWith("COMMENT:ITUN")) continue;
    if (described) return;  // several described comments: none is the comment
    described = &values;
  }
  if (described) Tags.Add("comment", ToU16(*described));
}

}  // namespace tonvale
