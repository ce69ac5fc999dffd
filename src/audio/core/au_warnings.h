#pragma once
// The texts of the warnings a run reports beside a converted file, in one
// place: a run that finished, but not quite as the source stood.

#include <string>

namespace tonvale {

// What a warning is about, for those who act on it.
// LengthsDisagree: the source states its length twice, differently, and the
// shorter was read; DecodeLoss: parts of the source could not be decoded.
enum class TAuWarning { SourceEndedEarly, SamplesClipped, LengthsDisagree, DecodeLoss };

struct TAuWarningText {
  TAuWarning Kind;
  std::string Text;
  bool operator==(const TAuWarningText&) const = default;
};

}  // namespace tonvale

namespace tonvale::warnings {

// The source delivered less than its header stated.
std::string SourceEndedEarly(double MissingSeconds, double StatedSeconds);
// The output stopped reading a source that had more: a failure, not a warning.
std::string OutputStoppedEarly(double TakenSeconds, double StatedSeconds);
// The fact chunk and the data of a WAV file tell different lengths.
std::string LengthsDisagree(double FactSeconds, double DataSeconds);
// Audio of the source that could not be decoded.
std::string DecodeLoss(double LostSeconds, double StatedSeconds);
// Float samples beyond full scale (or NaN, infinity) were brought within it.
inline constexpr const char* kSamplesClipped = "samples beyond full scale were clipped";

}  // namespace tonvale::warnings
