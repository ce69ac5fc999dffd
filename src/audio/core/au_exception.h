#pragma once

#include <stdexcept>
#include <string>

namespace tonvale {

// The error the audio components raise from their own checks.
class EAuException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tonvale
