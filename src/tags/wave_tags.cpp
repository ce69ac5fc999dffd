#include "tags/wave_tags.h"

#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

#include <mutex>

#include "platform/text.h"
#include "tags/file_tags.h"
#include "tags/id3v2_frames.h"
#include "tags/tag_fields.h"
#include "tags/tag_text.h"
#include "tags/taglib_text.h"

namespace tonvale {
namespace {

namespace Riff = TagLib::RIFF;

// INFO texts end at their first zero; UTF-8 as FFmpeg writes them, else
// Windows-1252 as older Windows taggers did.
class TInfoText : public Riff::Info::StringHandler {
 public:
  TagLib::String parse(const TagLib::ByteVector& Data) const override {
    std::string text(Data.data(), Data.size());
    text = text.substr(0, text.find('\0'));
    return FromU16(IsUtf8(text) ? Utf8ToUtf16(text) : Windows1252ToUtf16(text));
  }
  TagLib::ByteVector render(const TagLib::String& Text) const override { return Text.data(TagLib::String::UTF8); }
};

void UseInfoText() {
  static TInfoText handler;
  static std::once_flag once;
  std::call_once(once, [] { Riff::Info::Tag::setStringHandler(&handler); });
}

}  // namespace

void ReadWaveTags(TagLib::IOStream& Stream, TFileTags& Tags) {
  UseInfoText();
  Riff::WAV::File file(&Stream, false);
  if (!file.isValid()) return;
  if (file.hasID3v2Tag()) {
    TagLib::ID3v2::Tag* id3 = file.ID3v2Tag();
    AddProperties(id3->properties(), Tags);
    AddId3v2Pictures(*id3, Tags);
  }
  if (!file.hasInfoTag()) return;
  const auto items = file.InfoTag()->fieldListMap();
  for (const TTagField& f : TagFields()) {
    if (!*f.Info) continue;
    const auto found = items.find(f.Info);
    if (found != items.end()) Tags.Add(f.Name, {ToU16(found->second)});
  }
  if (const auto part = items.find("IPRT"); part != items.end()) Tags.Add("track", {ToU16(part->second)});
}

std::vector<uint8_t> WaveInfoChunk(const TFileTags& Tags) {
  UseInfoText();
  Riff::Info::Tag info;
  for (const TTagField& f : TagFields()) {
    const auto values = Tags.Values(f.Name);
    if (*f.Info && !values.empty()) info.setFieldText(f.Info, FromU16(values).toString("; "));
  }
  if (info.isEmpty()) return {};
  const TagLib::ByteVector body = info.render();
  const TagLib::ByteVector chunk = TagLib::ByteVector("LIST") + TagLib::ByteVector::fromUInt(body.size(), false) + body;
  return {chunk.begin(), chunk.end()};
}

}  // namespace tonvale
