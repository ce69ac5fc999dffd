#pragma once
// The Windows Media file input: decodes WMA (and, as TMP3In, MP3) files to
// PCM through the media runtime and reads their attributes into the
// input's ID3v2 tag set.

#include "audio/core/au_tagged_file_in.h"
#include "audio/winmedia/wma_reader.h"

namespace tonvale {

class TWMIn : public TAuTaggedFileIn {
 public:
  explicit TWMIn(TAuComponent* Owner);
  ~TWMIn() override;

  // Opens the file when it is not open; it stays open afterwards.
  TId3v2Tags& Id3v2Tags();
  std::string Refusal() override { return FRefusal; }
  // Audio lost to packets that could not be decoded, beyond what decoders
  // lose as a matter of course.
  std::vector<TAuWarningText> ReadNotes() override;

 protected:
  void ReadData(uint8_t*& Buffer, uint32_t& Bytes) override;
  bool SeekTo(int64_t& Sample) override;
  void OpenSource() override;
  void CloseSource() override;

  // The kind of file the sources are named as ("mp3"); empty: any the
  // runtime recognises.
  std::string FExpectedFormat;

 private:
  TWMAReader FReader;
  uint32_t DurationCs = 0;
  std::string FRefusal;  // why a source the runtime could not open is not read
};

// The same reader, used for MP3 sources: they are read as MPEG audio.
class TMP3In : public TWMIn {
 public:
  explicit TMP3In(TAuComponent* Owner) : TWMIn(Owner) { FExpectedFormat = "mp3"; }
};

}  // namespace tonvale
