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

std::string LengthsDisagree(double FactSeconds, double DataSeconds) {
  char text[160];
  std::snprintf(
      text, sizeof text,
      "the header's lengths disagree: its fact chunk states %.*f s, its data holds %.*f s; the shorter was read",
      FactSeconds < 0.1 ? 3 : 1, FactSeconds, DataSeconds < 0.1 ? 3 : 1, DataSeconds);
  return text;
}

std::string DecodeLoss(double LostSeconds, double StatedSeconds) {
  char text[160];
  std::snprintf(text, sizeof text, "the source could not be decoded whole (%.1f s of %.1f s lost)", LostSeconds,
                StatedSeconds);
  return text;
}

std::string OutputStoppedEarly(double TakenSeconds, double StatedSeconds) {
  char text[160];
  std::snprintf(text, sizeof text, "the output took only %.*f s of the %.1f s of audio the source holds",
                TakenSeconds < 0.1 ? 3 : 1, TakenSeconds, StatedSeconds);
  return text;
}

}  // namespace tonvale::warnings
