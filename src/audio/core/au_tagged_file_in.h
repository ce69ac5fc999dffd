#pragma once

#include "audio/core/au_file_in.h"
#include "audio/core/tag_sets.h"

namespace tonvale {

// A file input that carries the three tag sets beside its audio. The sets
// are freed before the rest of the input.
class TAuTaggedFileIn : public TAuFileIn, public TTagSets {
 public:
  using TAuFileIn::TAuFileIn;
};

}  // namespace tonvale
