#include "tags/file_tags.h"

#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>

#include <algorithm>
#include <memory>

#include "tags/asf_tags.h"
#include "tags/genre_list.h"
#include "tags/id3v2_frames.h"
#include "tags/id3v2_tags.h"
#include "tags/tag_fields.h"
#include "tags/tag_text.h"
#include "tags/taglib_text.h"
#include "tags/wave_tags.h"

namespace tonvale {
namespace {

using TagLib::ByteVector;

// The APEv2 and ID3v1 tags at the end of an MP3 from From on, read from
// the bytes they take (at most a picture's worth) as TagLib reads a file.
void ReadTrailingTags(TagLib::IOStream& Stream, long From, TFileTags& Tags) {
  Stream.seek(0, TagLib::IOStream::End);
  const long length = Stream.length();
  if (length - From < 32) return;  // no room for either
  long tail = std::min<long>(length - From, 160);
  Stream.seek(length - tail);
  const ByteVector end = Stream.readBlock(static_cast<unsigned>(tail));
  // An APEv2 footer states the size of the tag before it.
  for (const long footer : {32L, 160L}) {
    if (tail < footer || !end.mid(static_cast<unsigned>(tail - footer), 8).startsWith("APETAGEX")) continue;
    const long ape = end.toUInt(static_cast<unsigned>(tail - footer + 12), false) + 32 + footer;
    tail = std::min({length - From, ape, static_cast<long>(kLargestPicture)});
  }
  Stream.seek(length - tail);
  TagLib::ByteVectorStream bytes(Stream.readBlock(static_cast<unsigned>(tail)));
  TagLib::MPEG::File file(&bytes, TagLib::ID3v2::FrameFactory::instance(), false);
  if (!file.isValid()) return;
  if (auto* ape = file.APETag()) AddProperties(ape->properties(), Tags);
  if (auto* v1 = file.ID3v1Tag()) AddProperties(v1->properties(), Tags);
}

// An MP3's leading ID3v2 tags one after another, then its APEv2 and ID3v1
// tags for what they lack.
void ReadMpeg(TagLib::IOStream& Stream, TFileTags& Tags) {
  long at = 0;
  for (int n = 0; n < 16; ++n) {
    Stream.seek(at);
    const unsigned size = Id3v2TagSize(Stream.readBlock(10));
    if (size == 0) break;
    ReadId3v2Tag(ReadId3v2Bytes(Stream, at, size, Tags), Tags);
    at += static_cast<long>(size);
  }
  ReadTrailingTags(Stream, at, Tags);
}

bool MpegExtension(std::string_view Extension) {
  std::string e(Extension);
  std::transform(e.begin(), e.end(), e.begin(), [](char C) { return C >= 'A' && C <= 'Z' ? C + 32 : C; });
  return e == "mp3" || e == "mp2" || e == "mpa";
}

// The tags of a WMA whose header starts At bytes into Stream (past a
// prefix the decoder also steps over): of its header alone.
void ReadAsfAt(TagLib::IOStream& Stream, long At, TFileTags& Tags) {
  if (At == 0) return ReadAsfTags(Stream, Tags);
  Stream.seek(At + 16);
  const unsigned size = Stream.readBlock(8).toUInt(0U, false);
  Stream.seek(At);
  TagLib::ByteVectorStream header(Stream.readBlock(std::min<unsigned>(size, 2 * kLargestPicture)));
  ReadAsfTags(header, Tags);
}

// A FLAC, Ogg, MP4, AIFF, Monkey's Audio or WavPack file by its first bytes;
// nullptr for any other kind.
std::unique_ptr<TagLib::File> OtherFile(TagLib::IOStream& Stream, const ByteVector& Head) {
  auto* factory = TagLib::ID3v2::FrameFactory::instance();
  if (Head.startsWith("fLaC")) return std::make_unique<TagLib::FLAC::File>(&Stream, factory, false);
  if (Head.mid(4, 4) == "ftyp") return std::make_unique<TagLib::MP4::File>(&Stream, false);
  if (Head.startsWith("FORM") && (Head.mid(8, 4) == "AIFF" || Head.mid(8, 4) == "AIFC"))
    return std::make_unique<TagLib::RIFF::AIFF::File>(&Stream, false);
  if (Head.startsWith("MAC ")) return std::make_unique<TagLib::APE::File>(&Stream, false);
  if (Head.startsWith("wvpk")) return std::make_unique<TagLib::WavPack::File>(&Stream, false);
  if (!Head.startsWith("OggS")) return nullptr;
  // Vorbis, Opus or FLAC in Ogg, by the first packet.
  const ByteVector packet = Head.mid(28, 8);
  if (packet.startsWith("OpusHead")) return std::make_unique<TagLib::Ogg::Opus::File>(&Stream, false);
  if (packet.startsWith("\x7F"
                        "FLAC"))
    return std::make_unique<TagLib::Ogg::FLAC::File>(&Stream, false);
  return std::make_unique<TagLib::Ogg::Vorbis::File>(&Stream, false);
}

TFileTags ReadStream(TagLib::IOStream& Stream, std::string_view Extension) {
  TFileTags tags;
  Stream.seek(0);
  const ByteVector head = Stream.readBlock(40);
  if (head.size() < 4) return tags;
  Stream.seek(0);  // each reader starts at the start
  const ByteVector asf("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8);
  if (head.startsWith(asf) || head.mid(30, 8) == asf) {
    ReadAsfAt(Stream, head.startsWith(asf) ? 0 : 30, tags);
  } else if ((head.startsWith("RIFF") || head.startsWith("RIFX")) && head.mid(8, 4) == "WAVE") {
    ReadWaveTags(Stream, tags);
  } else if (MpegExtension(Extension) || head.startsWith("ID3") ||
             (static_cast<uint8_t>(head[0]) == 0xFF && (static_cast<uint8_t>(head[1]) & 0xE0) == 0xE0)) {
    ReadMpeg(Stream, tags);
  } else if (const auto file = OtherFile(Stream, head); file && file->isValid()) {
    AddProperties(file->properties(), tags);
  }
  return tags;
}

}  // namespace

std::vector<std::u16string> TFileTags::Values(std::string_view Name) const {
  for (const auto& [name, values] : Fields)
    if (name == Name) return values;
  return {};
}

void TFileTags::Add(std::string_view Name, std::vector<std::u16string> More) {
  // A value given twice is one value (FFmpeg writes a WMA's title in two
  // places; a text frame may repeat its text after a zero).
  std::vector<std::u16string> values;
  for (auto& v : More)
    if (!v.empty() && std::find(values.begin(), values.end(), v) == values.end()) values.push_back(std::move(v));
  More = std::move(values);
  if (More.empty() || !Values(Name).empty()) return;
  Fields.emplace_back(std::string(Name), std::move(More));
}

void TFileTags::LeaveOut(uint8_t Why) {
  if (Picture.Data.empty()) PictureLeftOut = Why;
}

void TFileTags::Offer(TTagPicture Candidate) {
  if (Candidate.Mime == "-->") {
    LeaveOut(kPictureWasLinked);
  } else if (Candidate.Data.size() > kLargestPicture) {
    LeaveOut(kPictureWasTooLarge);
  } else if (!Candidate.Data.empty() && BetterPicture(Picture, Candidate)) {
    Picture = std::move(Candidate);
    PictureLeftOut = 0;
  }
}

TFileTags ReadFileTags(const std::string& Path) {
  TagLib::FileStream stream(Path.c_str(), true);
  if (!stream.isOpen()) return {};
  const size_t dot = Path.rfind('.');
  return ReadStream(stream, dot == std::string::npos ? "" : std::string_view(Path).substr(dot + 1));
}

TFileTags ReadTagBytes(const std::vector<uint8_t>& Bytes, std::string_view Extension) {
  ByteVector data(reinterpret_cast<const char*>(Bytes.data()), static_cast<unsigned>(Bytes.size()));
  TagLib::ByteVectorStream stream(data);
  return ReadStream(stream, Extension);
}

void FileTagsToSet(const TFileTags& Tags, TId3v2Tags& Set) {
  for (const TTagField& f : TagFields()) {
    auto values = Tags.Values(f.Name);
    // A genre may refer to the ID3v1 list by its number ("(17)").
    if (std::string_view(f.Name) == "genre")
      for (auto& v : values) v = GenreByReference(v);
    if (!values.empty()) Set.SetValue(Set.FieldKey(f), ZeroJoined(values));
  }
  if (!Tags.Picture.Data.empty()) {
    const auto bytes = WmPictureBytes(Tags.Picture);
    Set.SetPicture(std::string(bytes.begin(), bytes.end()));
  }
  Set.SetPictureLeftOut(Tags.Picture.Data.empty() ? Tags.PictureLeftOut : 0);
}

TFileTags SetToFileTags(const TId3v2Tags& Set) {
  TFileTags tags;
  for (const TTagField& f : TagFields()) {
    tags.Add(f.Name, SplitValues(Set.AsWideString(Set.FieldKey(f))));
  }
  const std::string picture = Set.Picture();
  ParseWmPicture(reinterpret_cast<const uint8_t*>(picture.data()), picture.size(), tags.Picture);
  tags.PictureLeftOut = Set.PictureLeftOut();
  return tags;
}

std::vector<uint8_t> RenderId3v2(const TFileTags& Tags) {
  namespace Id3 = TagLib::ID3v2;
  Id3::Tag tag;
  for (const TTagField& f : TagFields()) {
    const auto values = Tags.Values(f.Name);
    if (values.empty()) continue;
    if (std::string_view(f.Id3v2) == "COMM") {
      // One text in English with an empty description: several are joined.
      auto* comment = new Id3::CommentsFrame(TagLib::String::UTF8);
      comment->setLanguage("eng");
      comment->setText(FromU16(values).toString("; "));
      tag.addFrame(comment);
      continue;
    }
    auto* text = new Id3::TextIdentificationFrame(ByteVector(f.Id3v2), TagLib::String::UTF8);
    text->setText(FromU16(values));
    tag.addFrame(text);
  }
  if (const TTagPicture& p = Tags.Picture; !p.Data.empty()) {
    auto* apic = new Id3::AttachedPictureFrame;
    apic->setTextEncoding(TagLib::String::UTF8);
    apic->setMimeType(PictureMime(p.Data, p.Mime));
    apic->setType(static_cast<Id3::AttachedPictureFrame::Type>(p.Type));
    apic->setDescription(FromU16(p.Description));
    apic->setPicture(ByteVector(reinterpret_cast<const char*>(p.Data.data()), static_cast<unsigned>(p.Data.size())));
    tag.addFrame(apic);
  }
  if (tag.frameList().isEmpty()) return {};
  const ByteVector bytes = tag.render(Id3::v4);
  return {bytes.begin(), bytes.end()};
}

}  // namespace tonvale
