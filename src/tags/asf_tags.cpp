#include "tags/asf_tags.h"

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>

#include <algorithm>
#include <string_view>

#include "tags/asf_order.h"
#include "tags/file_tags.h"
#include "tags/tag_fields.h"
#include "tags/tag_text.h"
#include "tags/taglib_text.h"

namespace tonvale {
namespace {

namespace Asf = TagLib::ASF;

// The four attributes the content description holds, by their place in it.
TagLib::String* Described(Asf::Tag& Tag, std::u16string_view Name, TagLib::String& Scratch) {
  if (Name == u"Title")
    Scratch = Tag.title();
  else if (Name == u"Author")
    Scratch = Tag.artist();
  else if (Name == u"Description")
    Scratch = Tag.comment();
  else if (Name == u"Copyright")
    Scratch = Tag.copyright();
  else
    return nullptr;
  return &Scratch;
}

void SetDescribed(Asf::Tag& Tag, std::u16string_view Name, const TagLib::String& Value) {
  if (Name == u"Title")
    Tag.setTitle(Value);
  else if (Name == u"Author")
    Tag.setArtist(Value);
  else if (Name == u"Description")
    Tag.setComment(Value);
  else
    Tag.setCopyright(Value);
}

void Split(const std::u16string& Text, std::vector<std::u16string>& Out) {
  for (auto& v : SplitValues(Text))
    if (!v.empty()) Out.push_back(std::move(v));
}

// The attributes of Name in the order readers take them: those of the
// extended content description first. Names as FFmpeg writes those it does
// not know: in its own spelling ("title", "copyright"), the year as "date".
std::vector<Asf::Attribute> Attributes(const Asf::Tag& Tag, const TAsfOrder& Order, const TagLib::String& Name) {
  std::vector<Asf::Attribute> attributes;
  for (const auto& [key, list] : Tag.attributeListMap()) {
    if (key.upper() != Name.upper()) continue;
    std::vector<Asf::Attribute> these(list.begin(), list.end());
    const auto found = Order.Extended.find(key.to8Bit(true));
    const unsigned extended = found == Order.Extended.end() ? 0 : found->second;
    if (Order.ExtensionFirst && extended > 0 && extended < these.size())
      std::rotate(these.begin(), these.end() - extended, these.end());
    attributes.insert(attributes.end(), these.begin(), these.end());
  }
  if (attributes.empty() && Name == "WM/Year") return Attributes(Tag, Order, "date");
  return attributes;
}

std::vector<std::u16string> AttributeTexts(const Asf::Tag& Tag, const TAsfOrder& Order, const char16_t* Name) {
  std::vector<std::u16string> out;
  const std::vector<Asf::Attribute> attributes = Attributes(Tag, Order, FromU16(Name));
  for (const Asf::Attribute& a : attributes) {
    switch (a.type()) {
      case Asf::Attribute::UnicodeType: Split(ToU16(a.toString()), out); break;
      case Asf::Attribute::DWordType: out.push_back(ToU16(TagLib::String::number(static_cast<int>(a.toUInt())))); break;
      case Asf::Attribute::QWordType:
        out.push_back(ToU16(TagLib::String::number(static_cast<int>(a.toULongLong()))));
        break;
      case Asf::Attribute::WordType: out.push_back(ToU16(TagLib::String::number(a.toUShort()))); break;
      default: break;
    }
  }
  return out;
}

// A value as a WMA header holds it: cut before a character, not inside one.
std::u16string Held(std::u16string Value) {
  if (Value.size() <= kLongestAsfValue) return Value;
  size_t n = kLongestAsfValue;
  if (Value[n - 1] >= 0xD800 && Value[n - 1] < 0xDC00) --n;
  return Value.substr(0, n);
}

}  // namespace

void ReadAsfTags(TagLib::IOStream& Stream, TFileTags& Tags) {
  const TAsfOrder order = ReadAsfOrder(Stream);
  Asf::File file(&Stream, false);
  Asf::Tag* tag = file.isValid() ? file.tag() : nullptr;
  if (!tag) return;
  std::vector<std::u16string> copyright;
  for (const TTagField& f : TagFields()) {
    std::vector<std::u16string> values;
    TagLib::String scratch;
    if (const TagLib::String* d = Described(*tag, f.Wma, scratch)) Split(ToU16(*d), values);
    const auto attributes = AttributeTexts(*tag, order, f.Wma);
    values.insert(values.end(), attributes.begin(), attributes.end());
    // "WM/Track" counts from 0 in most files; only without "WM/TrackNumber".
    if (values.empty() && std::u16string_view(f.Wma) == u"WM/TrackNumber")
      values = AttributeTexts(*tag, order, u"WM/Track");
    if (std::u16string_view(f.Wma) == u"Copyright") copyright = values;
    Tags.Add(f.Name, values);
  }
  // FFmpeg writes a "Copyright" in both places, the same value twice.
  if (Tags.Values("comment").empty() && copyright.size() == 2 && copyright[0] == copyright[1]) {
    std::erase_if(Tags.Fields, [](const auto& F) { return F.first == "copyright"; });
    Tags.Add("comment", {copyright.front()});
  }
  for (const Asf::Attribute& a : Attributes(*tag, order, "WM/Picture")) {
    if (static_cast<uint64_t>(a.dataSize()) > kLargestPicture) {
      Tags.LeaveOut(kPictureWasTooLarge);
      continue;
    }
    const Asf::Picture p = a.toPicture();
    if (!p.isValid()) continue;
    const TagLib::ByteVector data = p.picture();
    Tags.Offer({p.mimeType().to8Bit(true), static_cast<uint8_t>(p.type()), ToU16(p.description()),
                std::vector<uint8_t>(data.begin(), data.end())});
  }
}

bool WriteWmaTags(const std::string& Path, const TFileTags& Tags) {
  Asf::File file(Path.c_str(), false);
  Asf::Tag* tag = file.isValid() ? file.tag() : nullptr;
  if (!tag) return false;
  for (const TTagField& f : TagFields()) {
    auto values = Tags.Values(f.Name);
    if (values.empty()) continue;
    // The track number alone: WMA holds no total.
    if (std::string_view(f.Name) == "track")
      for (auto& v : values) v = TrackNumberPart(v);
    TagLib::String scratch;
    const bool described = Described(*tag, f.Wma, scratch) != nullptr;
    for (size_t i = 0; i < values.size(); ++i) {
      Asf::Attribute value(FromU16(Held(values[i])));
      // Further values go into the header extension (as values of the
      // audio stream), which readers that keep one value of a name read
      // first: the first value, read last, is the one they keep.
      if (i > 0) value.setStream(1);
      if (i == 0 && described)
        SetDescribed(*tag, f.Wma, value.toString());
      else
        tag->addAttribute(FromU16(f.Wma), value);
    }
  }
  if (const TTagPicture& p = Tags.Picture; !p.Data.empty()) {
    Asf::Picture picture;
    picture.setMimeType(PictureMime(p.Data, p.Mime));
    picture.setType(static_cast<Asf::Picture::Type>(p.Type));
    picture.setDescription(FromU16(p.Description));
    picture.setPicture(
        TagLib::ByteVector(reinterpret_cast<const char*>(p.Data.data()), static_cast<unsigned>(p.Data.size())));
    tag->addAttribute("WM/Picture", Asf::Attribute(picture));
  }
  return file.save();
}

}  // namespace tonvale
