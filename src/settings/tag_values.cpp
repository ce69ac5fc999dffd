#include "settings/tag_values.h"

#include "tags/genre_list.h"

namespace tonvale {

TTagValues TagValues;

void ResetTagValues() { TagValues = TTagValues{}; }

int GenreNameToIndex(const std::string& Name) { return GenrePosition(Name); }

}  // namespace tonvale
