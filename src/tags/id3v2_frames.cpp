#include "tags/id3v2_frames.h"

#include <algorithm>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/id3v2tag.h>

#include "tags/file_tags.h"
#include "tags/tag_picture.h"
#include "tags/taglib_text.h"

namespace tonvale {
namespace {

using TagLib::ByteVector;
namespace Id3 = TagLib::ID3v2;

bool FrameIdAt(const ByteVector& Data, unsigned At, unsigned Length) {
  if (At + Length > Data.size()) return false;
  for (unsigned i = 0; i < Length; ++i) {
    const char c = Data[At + i];
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return Data[At] >= 'A' && Data[At] <= 'Z';
}

// The size a frame header at At states, as the tag's version writes it (a
// 2.4 size that is no synchsafe number as a plain one).
unsigned StatedSize(const ByteVector& Data, unsigned At, unsigned Version) {
  if (Version < 3) return Data.toUInt(At + 3, 3U, true);
  const ByteVector size = Data.mid(At + 4, 4);
  if (Version == 4 && !(size[0] & 0x80) && !(size[1] & 0x80) && !(size[2] & 0x80) && !(size[3] & 0x80))
    return Id3::SynchData::toUInt(size);
  return size.toUInt(true);
}

struct TFrameWalk {
  const ByteVector& Data;
  const Id3::Header& Header;
  unsigned HeaderSize;  // of a frame
  Id3::Tag Frames;

  unsigned Version() const { return Header.majorVersion(); }
  unsigned IdSize() const { return HeaderSize == 6 ? 3 : 4; }
  bool Plausible(unsigned At) const {
    return FrameIdAt(Data, At, IdSize()) && At + HeaderSize + StatedSize(Data, At, Version()) <= Data.size();
  }
  // Where reading goes on after a frame that could not be read at At: the
  // next plausible frame a few bytes before its stated end, else the first
  // from From on; Data's size when there is none.
  unsigned Resume(unsigned At, unsigned From) const {
    const unsigned stated = At + HeaderSize + StatedSize(Data, At, Version());
    for (unsigned back = 1; back <= 4 && stated >= back && stated - back > At; ++back)
      if (Plausible(stated - back)) return stated - back;
    for (unsigned next = From; next + HeaderSize <= Data.size(); ++next)
      if (Plausible(next)) return next;
    return Data.size();
  }
  // Reads the frame at At; where it goes on.
  unsigned Read(unsigned At) {
    const unsigned stated = StatedSize(Data, At, Version());
    ByteVector bytes = Data.mid(At);
    if (FrameIdAt(Data, At, IdSize()) && At + HeaderSize + stated > Data.size() && Version() >= 3) {
      // A frame that overruns the tag keeps what the tag holds of it.
      const unsigned kept = Data.size() - At - HeaderSize;
      const ByteVector size = Version() == 4 ? Id3::SynchData::fromUInt(kept) : ByteVector::fromUInt(kept);
      bytes = Data.mid(At, 4) + size + Data.mid(At + 8);
    }
    Id3::Frame* frame = Id3::FrameFactory::instance()->createFrame(bytes, &Header);
    if (!frame) return FrameIdAt(Data, At, IdSize()) && stated == 0 ? At + HeaderSize : Resume(At, At + 1);
    const unsigned size = frame->size();
    Frames.addFrame(frame);
    const unsigned next = At + HeaderSize + size;
    const bool lost = next > Data.size() || (next < Data.size() && Data[next] != 0 && !FrameIdAt(Data, next, IdSize()));
    return lost ? Resume(At, std::min(next, Data.size())) : next;
  }
};

}  // namespace

ByteVector ReadId3v2Bytes(TagLib::IOStream& Stream, long At, unsigned Size, TFileTags& Tags) {
  Stream.seek(At);
  const ByteVector head = Stream.readBlock(10);
  const Id3::Header header(head);
  const unsigned version = header.majorVersion();
  if (Size <= (1U << 20) || (header.unsynchronisation() && version <= 3) || header.extendedHeader()) {
    Stream.seek(At);
    return Stream.readBlock(Size);
  }
  // A large tag: its frames one by one, those larger than any picture kept
  // stepped over unread.
  ByteVector out = head;
  const unsigned frameHeader = version < 3 ? 6 : 10;
  const long end = At + 10 + static_cast<long>(header.tagSize());
  for (long pos = At + 10; pos + frameHeader <= end;) {
    Stream.seek(pos);
    const ByteVector frame = Stream.readBlock(frameHeader);
    if (frame.size() < frameHeader || frame[0] == 0) break;
    const unsigned size = StatedSize(frame, 0, version);
    if (size > kLargestPicture) {
      if (frame.startsWith("APIC") || frame.startsWith("PIC")) Tags.LeaveOut(kPictureWasTooLarge);
    } else {
      Stream.seek(pos);
      out.append(Stream.readBlock(std::min<unsigned>(frameHeader + size, static_cast<unsigned>(end - pos))));
    }
    pos += frameHeader + size;
  }
  const ByteVector size = Id3::SynchData::fromUInt(out.size() - 10);
  return out.mid(0, 6) + size + out.mid(10);
}

void AddId3v2Pictures(const TagLib::ID3v2::Tag& Frames, TFileTags& Tags) {
  for (const Id3::Frame* f : Frames.frameList("APIC")) {
    const auto* apic = dynamic_cast<const Id3::AttachedPictureFrame*>(f);
    if (!apic) continue;
    TTagPicture p;
    p.Mime = apic->mimeType().to8Bit(true);
    p.Type = static_cast<uint8_t>(apic->type());
    p.Description = ToU16(apic->description());
    const ByteVector data = apic->picture();
    p.Data.assign(data.begin(), data.end());
    Tags.Offer(std::move(p));
  }
}

unsigned Id3v2TagSize(const ByteVector& Bytes) {
  if (Bytes.size() < 10 || !Bytes.startsWith("ID3")) return 0;
  const Id3::Header header(Bytes.mid(0, 10));
  return header.majorVersion() < 2 || header.majorVersion() > 4 ? 0 : header.completeTagSize();
}

void ReadId3v2Tag(const ByteVector& Tag, TFileTags& Tags) {
  const Id3::Header header(Tag.mid(0, 10));
  ByteVector body = Tag.mid(10, header.tagSize());
  if (header.unsynchronisation() && header.majorVersion() <= 3) body = Id3::SynchData::decode(body);
  unsigned at = 0;
  if (header.extendedHeader() && body.size() >= 4) {
    const unsigned size =
        header.majorVersion() == 4 ? Id3::SynchData::toUInt(body.mid(0, 4)) : body.toUInt(0U, true) + 4;
    at = size < body.size() ? size : body.size();
  }
  TFrameWalk walk{body, header, header.majorVersion() < 3 ? 6U : 10U, {}};
  while (at + walk.HeaderSize <= body.size() && body[at] != 0) at = walk.Read(at);
  AddProperties(walk.Frames.properties(), Tags);
  AddId3v2Pictures(walk.Frames, Tags);
}

}  // namespace tonvale
