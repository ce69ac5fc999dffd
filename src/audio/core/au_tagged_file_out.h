#pragma once

#include "audio/core/au_file_out.h"
#include "audio/core/tag_sets.h"

namespace tonvale {

// A file output that carries the three tag sets. Concrete outputs end their
// worker (BeforeDestruction) in their destructor, so no run can read a set
// while it is freed.
class TAuTaggedFileOut : public TAuFileOut, public TTagSets {
 public:
  using TAuFileOut::TAuFileOut;
  using TTagSets::Id3v2Tags;
  // Copies Value's values into the output's own set.
  void SetId3v2Tags(const TAuTags& Value) { Id3v2Tags().Assign(Value); }
};

}  // namespace tonvale
