#pragma once

#include <stdexcept>
#include <string>

namespace tonvale {

// The error the audio components raise from their own checks. Its text is
// the component's fixed message; Detail, when there is one, is the system's
// reason behind it ("No space left on device"), for callers that show more.
class EAuException : public std::runtime_error {
 public:
  explicit EAuException(const std::string& Message, std::string Detail = "")
      : std::runtime_error(Message), FDetail(std::move(Detail)) {}
  const std::string& Detail() const { return FDetail; }

 private:
  std::string FDetail;
};

// The system's reason for errno value Error, in words a user can act on.
std::string SystemReason(int Error);

}  // namespace tonvale
