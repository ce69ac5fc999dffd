// Feeds arbitrary bytes, as a file, to the ID3v1 and ID3v2 readers.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "tags/id3v1_tags.h"
#include "tags/id3v2_tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  int fd = ::memfd_create("id3", 0);
  if (fd < 0) return 0;
  if (::write(fd, Data, Size) == static_cast<ssize_t>(Size)) {
    tonvale::TId3v2Tags v2;
    ::lseek(fd, 0, SEEK_SET);
    v2.TagPresent(fd);
    v2.ReadFromFile(fd);
    for (int i = 0; i < v2.FieldCount(); ++i) v2.AsWideString(v2.FieldNames(i));
    tonvale::TId3v1Tags v1;
    v1.TagPresent(fd);
    v1.ReadFromFile(fd);
    (void)v1.Genre();
    (void)v1.Title();
  }
  ::close(fd);
  return 0;
}
