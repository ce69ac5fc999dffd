#include "conversion/source_tags.h"

#include "tags/file_tags.h"
#include "tags/id3v2_tags.h"

namespace tonvale {

void WaveSourceTags(const std::string& Path, TId3v2Tags& Tags) {
  Tags.Clear();
  FileTagsToSet(ReadFileTags(Path), Tags);
}

}  // namespace tonvale
