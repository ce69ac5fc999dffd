#pragma once

#include <cstdint>
#include <string>

#include "audio/core/au_streamed_output.h"

namespace tonvale {

enum TFileOutputMode { foRewrite, foAppend };

// An output writing a file.
class TAuFileOut : public TAuStreamedOutput {
 public:
  using TAuStreamedOutput::TAuStreamedOutput;

  const std::string& FileName() const { return FFileName; }
  // Allowed at any time; takes effect at the next Prepare.
  void SetFileName(const std::string& Value) { FFileName = Value; }

  TFileOutputMode FileMode() const { return FFileMode; }
  // Outputs that cannot append stay in rewrite mode: this level ignores Value.
  virtual void SetFileMode(TFileOutputMode Value);

 protected:
  std::string FFileName;
  TFileOutputMode FFileMode = foRewrite;
  uint32_t AccessMask = 0;  // handed to the file stream; not otherwise used
};

}  // namespace tonvale
