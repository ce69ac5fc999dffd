#include "settings/tag_values.h"

#include "tags/genre_list.h"

namespace tonvale {

TTagValues TagValues;

void ResetTagValues() { TagValues = TTagValues{}; }

namespace {

std::string UpperAscii(std::string S) {
  for (char& c : S)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return S;
}

}  // namespace

int GenreNameToIndex(const std::string& Name) {
  const std::string wanted = UpperAscii(Name);
  for (size_t i = 0; i < GenreList.size(); ++i)
    if (UpperAscii(GenreList[i]) == wanted) return static_cast<int>(i);
  return -1;
}

}  // namespace tonvale
