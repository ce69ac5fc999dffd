#pragma once

#include <memory>

#include "audio/core/au_output.h"
#include "platform/stream.h"

namespace tonvale {

// An output writing to a destination stream, opened in Prepare and freed in
// Finish by the concrete output.
class TAuStreamedOutput : public TAuOutput {
 public:
  using TAuOutput::TAuOutput;

 protected:
  std::unique_ptr<TStream> DataStream;
};

}  // namespace tonvale
