#include "audio/core/au_warnings.h"

#include <cstdio>

namespace tonvale::warnings {

std::string SourceEndedEarly(double MissingSeconds, double StatedSeconds) {
  char text[160];
  // A shortfall under a tenth of a second is shown to the millisecond.
  std::snprintf(text, sizeof text, "the source ended early: %.*f s of the %.1f s its header states were missing",
                MissingSeconds < 0.1 ? 3 : 1, MissingSeconds, StatedSeconds);
  return text;
}

std::string OutputStoppedEarly(double TakenSeconds, double StatedSeconds) {
  char text[160];
  std::snprintf(text, sizeof text, "the output took only %.*f s of the %.1f s of audio the source holds",
                TakenSeconds < 0.1 ? 3 : 1, TakenSeconds, StatedSeconds);
  return text;
}

}  // namespace tonvale::warnings
