#pragma once
// The tags an MP3 output gets from its file's tag values, and what its ID3v1
// tag could not hold.

#include <cstdint>
#include <string>
#include <vector>

#include "settings/tag_values.h"

namespace tonvale {

class Tid3tag;
struct TFileTags;
class TId3v2Tags;

// What the tags of an output lose of the values, empty when nothing, and
// whether some of it is kept whole by no tag of the file.
struct TTagReport {
  std::string Text;
  bool LostEverywhere = false;
  std::vector<std::string> Lost;  // the fields ("title", "album artist"...) it names as kept whole by no tag
};

// The ID3v2.4 tag that goes before the first audio frame: every value whole
// (the title the output's name when none is given, the genre by its name, a
// track number below 1 left out).
std::vector<uint8_t> Id3v2TagFor(const TTagValues& Values, const std::string& Output);
// The ID3v1 tag's values: each cut to its field, several values joined by
// "; ", a track that is not 1 to 255 (or "n/total" of such) as none (0).
void FillId3v1(Tid3tag& Tag, const TTagValues& Values, const std::string& Output);
// The LIST/INFO chunk of a WAV output: title (the output's name when none
// is given), artist, album, year, genre, track, comment and copyright, and
// what it cannot hold (album artist, disc, composer, picture), or empty when
// nothing.
std::vector<uint8_t> WaveInfoFor(const TTagValues& Values, const std::string& Output);
TTagReport WaveInfoReport(const TTagValues& Values);

// What the attributes of a WMA output lose: a value longer than an ASF
// header holds is cut, a track's total is not held.
TTagReport WmaTagReport(const TId3v2Tags& Tags);

// What the tags of an MP3 lose of the values ("ID3v1 title cut to 30
// characters; the ID3v2 tag keeps it whole").
TTagReport Mp3TagReport(const TTagValues& Values, const std::string& Output, bool Id3v2Written);

// The tags an MP3 (its ID3v2 tag when Id3v2Written, its ID3v1 tag) or WAV
// output of Values would hold, rendered into memory as they are written and
// read back as the written file's are.
TFileTags PredictedTags(const TTagValues& Values, const std::string& Output, bool Id3v2Written);
// The report of an MP3 or WAV output of Values, checked against the tags
// PredictedTags reads back, as a written file's report is against its own;
// of a WMA output, WmaTagReport of the attributes it would get.
TTagReport PredictedReport(const TTagValues& Values, const std::string& Output, bool Id3v2Written);

// Report checked against NotKept, the fields no tag of the written output
// holds whole as its tags read back (ValuesNotKept): a field it does not
// name is added, and LostEverywhere says whether any is (or the source's
// picture was left out, PictureLeftOut).
void CheckWrittenTags(TTagReport& Report, const std::vector<std::string>& NotKept, bool PictureLeftOut);

}  // namespace tonvale
