#pragma once
// An input reading a file (or an attached stream) whose header gives the PCM
// format. Descendants implement OpenSource, CloseSource, SeekTo and ReadData.

#include <string>

#include "audio/core/au_streamed_input.h"

namespace tonvale {

class TAuFileIn : public TAuStreamedInput {
 public:
  explicit TAuFileIn(TAuComponent* Owner) : TAuStreamedInput(Owner) {}

  const std::string& FileName() const { return FFileName; }
  // Closes the source first; change it only when no read is in progress.
  void SetFileName(const std::string& Value);

  // Sets where the next read starts, or moves within the current read
  // (counting from its start sample). False when the input cannot seek there.
  bool SeekSample(int64_t Sample);

  // These open the source on demand; an error while opening propagates.
  int BitsPerSample() override;
  int Channels() override;
  int SampleRate() override;
  int TotalSeconds() override;
  int64_t SampleCount() override;

  // Why the source is not read, when it says what it holds ("64-bit
  // integer PCM is not read"); empty otherwise.
  virtual std::string Refusal() { return ""; }

  void ForceEnd() override;
  void AttachStream(TStream* Stream) override;

 protected:
  void BeforeDestruction() override;
  void DoBeginRead() override;
  void DoEndRead() override;

  // Opens the file (unless a stream is attached), parses its header and fills
  // FBitsPerSample, FSampleRate, FChannels and DataSize. Does nothing while
  // the source is open (OpenCount nonzero). Implementations hold OpenLock
  // while they work, and so does CloseSource.
  virtual void OpenSource() = 0;
  // Undoes OpenSource and sets OpenCount to 0; nothing when not open.
  virtual void CloseSource() = 0;
  // Clears what the previous source's header said: a source that cannot be
  // opened has no format, size or length.
  void ForgetFormat();

  std::recursive_mutex OpenLock;
  std::string FFileName;
  uint32_t OpenCount = 0;
  uint32_t FBitsPerSample = 0;
  uint32_t FSampleRate = 0;
  uint32_t FChannels = 0;
};

}  // namespace tonvale
