#pragma once
// How tag values are written where a field holds only part of what other
// fields hold: a track "n/total", a year in a timestamp frame, several values
// in a field of one.

#include <string>
#include <vector>

namespace tonvale {

// The track number of "n/total" (or of "n"): n without its total; other
// texts as they are.
std::u16string TrackNumberPart(const std::u16string& Track);
// The track of Text as ID3v1's one byte holds it: 1 to 255 (of "n" or
// "n/total"), else 0 (none).
int Id3v1TrackNumber(const std::string& Text);

// Text as an ID3v2.4 timestamp ("TDRC"): a timestamp (yyyy, yyyy-MM,
// yyyy-MM-dd, with the time after a "T"; each part in its range) as it is; else the first four-digit
// year in it, or empty when there is none.
std::string Id3Timestamp(const std::string& Text);

// Several values separated by zero characters, apart (empty ones too); and
// together again.
std::vector<std::u16string> SplitValues(const std::u16string& Text);
std::u16string ZeroJoined(const std::vector<std::u16string>& Values);

// Several values (separated by zero characters) as one text, joined by "; ".
std::string JoinedValues(const std::string& Text);

}  // namespace tonvale
