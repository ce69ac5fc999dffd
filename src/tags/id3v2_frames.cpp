#include "tags/id3v2_frames.h"

#include <zlib.h>

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
  if (At > Data.size() || Length > Data.size() - At) return false;
  for (unsigned i = 0; i < Length; ++i) {
    const char c = Data[At + i];
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return Data[At] >= 'A' && Data[At] <= 'Z';
}

// The decimal digits of a text frame's body, whatever its encoding.
std::string Digits(const ByteVector& Body) {
  std::string digits;
  for (const char c : Body)
    if (c >= '0' && c <= '9') digits.push_back(c);
  return digits;
}

// The size a frame header at At states, as the tag's version writes it (a
// 2.4 size that is no synchsafe number as a plain one).
unsigned StatedSize(const ByteVector& Data, unsigned At, unsigned Version) {
  if (Data.size() < At + (Version < 3 ? 6 : 8)) return 0;
  if (Version < 3) return Data.toUInt(At + 3, 3U, true);
  const ByteVector size = Data.mid(At + 4, 4);
  if (Version == 4 && !(size[0] & 0x80) && !(size[1] & 0x80) && !(size[2] & 0x80) && !(size[3] & 0x80))
    return Id3::SynchData::toUInt(size);
  return size.toUInt(true);
}

// Whether the zlib data in Body (after a frame's stated sizes) inflates to
// at most Limit bytes; read in pieces, so that a frame that inflates to
// gigabytes costs no memory.
bool InflatesWithin(const ByteVector& Body, size_t Limit) {
  for (unsigned skip = 0; skip <= 4 && skip < Body.size(); skip += 4) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    const ByteVector data = Body.mid(skip);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = data.size();
    char out[16384];
    size_t total = 0;
    int rc = Z_OK;
    while (rc == Z_OK && total <= Limit) {
      z.next_out = reinterpret_cast<Bytef*>(out);
      z.avail_out = sizeof out;
      rc = inflate(&z, Z_NO_FLUSH);
      total += sizeof out - z.avail_out;
    }
    inflateEnd(&z);
    if (total > Limit) return false;
    if (rc == Z_STREAM_END) return true;
  }
  return true;  // no zlib data where it could start: TagLib finds nothing to inflate either
}

struct TFrameWalk {
  const ByteVector& Data;
  const Id3::Header& Header;
  unsigned HeaderSize;  // of a frame
  Id3::Tag Frames;
  Id3::Tag User;           // the user text frames ("TXXX")
  std::string Date, Time;  // of a 2.2 or 2.3 tag: "TDAT" (DDMM) and "TIME" (HHMM)

  unsigned Version() const { return Header.majorVersion(); }
  unsigned IdSize() const { return HeaderSize == 6 ? 3 : 4; }
  // A frame id at At; in a 2.3 or 2.4 tag also a 2.2 id ended by a zero,
  // as iTunes wrote some.
  bool NamedAt(unsigned At) const {
    if (At > Data.size() || HeaderSize > Data.size() - At) return false;
    return FrameIdAt(Data, At, IdSize()) || (IdSize() == 4 && FrameIdAt(Data, At, 3) && Data[At + 3] == 0);
  }
  bool Plausible(unsigned At) const {
    return NamedAt(At) && uint64_t{At} + HeaderSize + StatedSize(Data, At, Version()) <= Data.size();
  }
  // Where reading goes on after a frame that could not be read at At: the
  // next plausible frame a few bytes before its stated end, else the first
  // from From on; Data's size when there is none.
  unsigned Resume(unsigned At, unsigned From) const {
    const uint64_t stated = uint64_t{At} + HeaderSize + StatedSize(Data, At, Version());
    for (unsigned back = 1; back <= 4 && stated <= Data.size() && stated - back > At; ++back)
      if (Plausible(static_cast<unsigned>(stated - back))) return static_cast<unsigned>(stated - back);
    for (unsigned next = From; next + HeaderSize <= Data.size(); ++next)
      if (Plausible(next)) return next;
    return Data.size();
  }
  // The size of the frame at At: a 2.4 size read as a synchsafe number,
  // or as a plain one (as iTunes wrote them) where only that ends on the
  // next frame, on padding or on the tag's end.
  unsigned FrameSize(unsigned At) const {
    const unsigned stated = StatedSize(Data, At, Version());
    const unsigned plain = Data.toUInt(At + 4, true);
    const auto lands = [&](unsigned Size) {
      if (Size > Data.size()) return false;
      const unsigned next = At + HeaderSize + Size;
      return next == Data.size() || (next < Data.size() && (Data[next] == 0 || Plausible(next)));
    };
    return Version() != 4 || plain == stated || lands(stated) || !lands(plain) ? stated : plain;
  }
  // The frame at At as TagLib is to read it: one that overruns the tag cut
  // to what the tag holds; a UTF-16 text without its byte-order mark given
  // one (little-endian, as FFmpeg writes it). Added: the bytes that adds.
  ByteVector Repaired(unsigned At, unsigned Stated, unsigned& Added) const {
    Added = 0;
    if (!FrameIdAt(Data, At, IdSize()) || Version() < 3) return Data.mid(At);
    const unsigned size = std::min(Stated, Data.size() - At - HeaderSize);
    ByteVector body = Data.mid(At + HeaderSize, size);
    const bool text = Data[At] == 'T' && Data.mid(At, 4) != "TXXX" && Data[At + 9] == 0;
    const ByteVector mark = body.mid(1, 2);
    if (text && body.size() >= 3 && body[0] == 1 && mark != "\xFF\xFE" && mark != "\xFE\xFF") {
      body = body.mid(0, 1) + ByteVector("\xFF\xFE", 2) + body.mid(1);
      Added = 2;
    }
    if (size == Stated && Added == 0 && Stated == StatedSize(Data, At, Version())) return Data.mid(At);
    const ByteVector stated =
        Version() == 4 ? Id3::SynchData::fromUInt(body.size()) : ByteVector::fromUInt(body.size());
    return Data.mid(At, 4) + stated + Data.mid(At + 8, 2) + body + Data.mid(At + HeaderSize + size);
  }
  bool OldNamed(unsigned At) const { return IdSize() == 4 && !FrameIdAt(Data, At, 4) && NamedAt(At); }
  // A frame with a 2.2 id in a later tag, read as the 2.2 frame it is.
  Id3::Frame* OldFrame(unsigned At, unsigned Stated) const {
    const unsigned size = std::min(Stated, Data.size() - At - HeaderSize);
    Id3::Header old;
    old.setMajorVersion(2);
    const ByteVector frame =
        Data.mid(At, 3) + ByteVector::fromUInt(size, true).mid(1) + Data.mid(At + HeaderSize, size);
    return Id3::FrameFactory::instance()->createFrame(frame, &old);
  }
  bool Compressed(unsigned At) const {
    return Version() == 3 ? (Data[At + 9] & 0x80) != 0 : Version() == 4 && (Data[At + 9] & 0x08) != 0;
  }
  // Reads the frame at At; where it goes on.
  unsigned Read(unsigned At) {
    const unsigned stated = FrameSize(At);
    // A 2.2 or 2.3 date's day and month, and its time, which 2.4 has no
    // frame for.
    const ByteVector id = Data.mid(At, IdSize());
    if (Version() <= 3 && stated > 0 && (id == "TDAT" || id == "TDA" || id == "TIME" || id == "TIM"))
      (id.startsWith("TDA") ? Date : Time) = Digits(Data.mid(At + HeaderSize + 1, stated - 1));
    // A compressed picture may inflate to what a kept picture holds, a
    // compressed text to a megabyte: no tag holds more.
    const size_t most = Data.mid(At, 4) == "APIC" ? kLargestPicture : size_t{1} << 20;
    if (Compressed(At) && !InflatesWithin(Data.mid(At + HeaderSize, stated), most))
      return static_cast<unsigned>(
          std::min<uint64_t>(uint64_t{At} + HeaderSize + stated, Data.size()));  // would fill memory
    unsigned added = 0;
    Id3::Frame* frame = OldNamed(At) ? OldFrame(At, stated)
                                     : Id3::FrameFactory::instance()->createFrame(Repaired(At, stated, added), &Header);
    if (!frame) return FrameIdAt(Data, At, IdSize()) && stated == 0 ? At + HeaderSize : Resume(At, At + 1);
    const unsigned size = frame->size() - added;
    (frame->frameID() == "TXXX" ? User : Frames).addFrame(frame);
    const unsigned next = At + HeaderSize + size;
    // A 2.2 id there may as well be the tail of a 2.3 id a byte further
    // back: the search tries that first.
    const bool lost = next > Data.size() || (next < Data.size() && Data[next] != 0 && !FrameIdAt(Data, next, IdSize()));
    return lost ? Resume(At, std::min(next, Data.size())) : next;
  }
};

// A 2.2 or 2.3 tag's date: the year (read as the recording time) with its day and
// month and its time, as TagLib joins them when it reads a whole tag.
void JoinDate(TFrameWalk& Walk) {
  const auto& years = Walk.Frames.frameListMap()["TDRC"];
  const std::string year = years.isEmpty() ? "" : years.front()->toString().to8Bit(true);
  const std::string& date = Walk.Date;
  if (year.size() != 4 || Digits(ByteVector(year.c_str())) != year || date.size() != 4) return;
  std::string joined = year + "-" + date.substr(2, 2) + "-" + date.substr(0, 2);
  if (Walk.Time.size() == 4) joined += "T" + Walk.Time.substr(0, 2) + ":" + Walk.Time.substr(2, 2);
  years.front()->setText(joined);
}

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
  TFrameWalk walk{body, header, header.majorVersion() < 3 ? 6U : 10U, {}, {}, {}, {}};
  while (at + walk.HeaderSize <= body.size() && body[at] != 0) at = walk.Read(at);
  JoinDate(walk);
  // The frames of each field first; user text frames ("TXXX:comment") only
  // for what those lack.
  AddProperties(walk.Frames.properties(), Tags);
  AddProperties(walk.User.properties(), Tags);
  AddId3v2Pictures(walk.Frames, Tags);
}

}  // namespace tonvale
