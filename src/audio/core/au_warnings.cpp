#include "audio/core/au_warnings.h"

#include <cstdio>

namespace tonvale::warnings {

std::string SourceEndedEarly(double MissingSeconds, double StatedSeconds) {
  char text[160];
  std::snprintf(text, sizeof text, "the source ended early: %.1f s of the %.1f s its header states were missing",
                MissingSeconds, StatedSeconds);
  return text;
}

}  // namespace tonvale::warnings
