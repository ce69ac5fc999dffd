#pragma once

#include "tags/apev2_tags.h"
#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"

namespace tonvale {

// The three tag sets a tagged file component owns. They are freed in the
// order ID3v1, ID3v2, APEv2 (members go in reverse order of declaration).
class TTagSets {
 public:
  TId3v1Tags& Id3v1Tags() { return FId3v1Tags; }
  TId3v2Tags& Id3v2Tags() { return FId3v2Tags; }
  TAPEv2Tags& APEv2Tags() { return FAPEv2Tags; }

 private:
  TAPEv2Tags FAPEv2Tags;
  TId3v2Tags FId3v2Tags;
  TId3v1Tags FId3v1Tags;
};

}  // namespace tonvale
