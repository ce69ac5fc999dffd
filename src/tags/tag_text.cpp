#include "tags/tag_text.h"

#include <algorithm>

#include <cctype>

namespace tonvale {
namespace {

bool Digits(const std::string& Text, size_t From, size_t Count) {
  if (Text.size() < From + Count) return false;
  for (size_t i = From; i < From + Count; ++i)
    if (!std::isdigit(static_cast<unsigned char>(Text[i]))) return false;
  return true;
}

// Whether Text is a timestamp as ID3v2.4 defines them: yyyy[-MM[-dd[THH[:mm[:ss]]]]],
// each part in its range (a day in its month).
bool IsTimestamp(const std::string& Text) {
  static const char kSeparators[] = "--T::";
  static const int kLargest[] = {12, 31, 23, 59, 59};
  if (!Digits(Text, 0, 4)) return false;
  int parts[5] = {};
  size_t at = 4, count = 0;
  for (const char* s = kSeparators; *s && at < Text.size(); ++s, at += 3, ++count) {
    if (Text[at] != *s || !Digits(Text, at + 1, 2)) return false;
    parts[count] = (Text[at + 1] - '0') * 10 + (Text[at + 2] - '0');
    if (parts[count] > kLargest[count] || (count < 2 && parts[count] == 0)) return false;
  }
  if (count >= 2) {
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = std::stoi(Text.substr(0, 4));
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (parts[1] > kDays[parts[0] - 1] || (parts[0] == 2 && parts[1] == 29 && !leap)) return false;
  }
  return at >= Text.size();
}

}  // namespace

std::u16string TrackNumberPart(const std::u16string& Track) {
  const size_t slash = Track.find(u'/');
  if (slash == 0 || slash == std::u16string::npos) return Track;
  for (size_t i = 0; i < Track.size(); ++i)
    if (i != slash && (Track[i] < u'0' || Track[i] > u'9')) return Track;
  return Track.substr(0, slash);
}

int Id3v1TrackNumber(const std::string& Text) {
  const size_t slash = Text.find('/');
  const std::string number = Text.substr(0, slash);
  if (number.empty() || number.size() > 3 || !Digits(number, 0, number.size())) return 0;
  if (slash != std::string::npos && !Digits(Text, slash + 1, Text.size() - slash - 1)) return 0;
  const int n = std::stoi(number);
  return n >= 1 && n <= 255 ? n : 0;
}

std::string Id3Timestamp(const std::string& Text) {
  if (IsTimestamp(Text)) return Text;
  for (size_t i = 0; i + 4 <= Text.size(); ++i) {
    const bool alone = (i == 0 || !std::isdigit(static_cast<unsigned char>(Text[i - 1]))) &&
                       (i + 4 == Text.size() || !std::isdigit(static_cast<unsigned char>(Text[i + 4])));
    if (alone && Digits(Text, i, 4)) return Text.substr(i, 4);
  }
  return "";
}

std::string JoinedValues(const std::string& Text) {
  std::string joined;
  for (char c : Text) {
    if (c == '\0')
      joined += "; ";
    else
      joined.push_back(c);
  }
  return joined;
}

std::vector<std::u16string> SplitValues(const std::u16string& Text) {
  std::vector<std::u16string> values;
  for (size_t from = 0; from <= Text.size();) {
    const size_t to = std::min(Text.find(u'\0', from), Text.size());
    values.push_back(Text.substr(from, to - from));
    from = to + 1;
  }
  return values;
}

std::u16string ZeroJoined(const std::vector<std::u16string>& Values) {
  std::u16string joined;
  for (const auto& v : Values) joined += (joined.empty() ? u"" : std::u16string(1, u'\0')) + v;
  return joined;
}

}  // namespace tonvale
