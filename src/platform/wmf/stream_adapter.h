#pragma once
// The stream interface the media runtime reads and writes files through,
// over a Tonvale stream it does not own.

#include <string>

#include "platform/stream.h"
#include "platform/wmf/wmf_types.h"

namespace tonvale {

class TStreamAdapter : public IStream {
 public:
  explicit TStreamAdapter(TStream* Source) : FSource(Source) {}

  HRESULT Read(void* Buffer, uint32_t Count, uint32_t* Read) override;
  HRESULT Write(const void* Buffer, uint32_t Count, uint32_t* Written) override;
  HRESULT Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) override;
  HRESULT SetSize(uint64_t NewSize) override;
  HRESULT CopyTo(IStream*, uint64_t, uint64_t*, uint64_t*) override { return STG_E_INVALIDFUNCTION; }
  HRESULT Commit(uint32_t) override { return STG_E_INVALIDFUNCTION; }
  HRESULT Revert() override { return STG_E_INVALIDFUNCTION; }
  HRESULT LockRegion(uint64_t, uint64_t, uint32_t) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(uint64_t, uint64_t, uint32_t) override { return STG_E_INVALIDFUNCTION; }
  HRESULT Stat(TStatStg* Stat, uint32_t Flags) override;
  HRESULT Clone(std::shared_ptr<IStream>* Stream) override;

  // Why the last failed read failed (the system's reason); empty when no
  // read has failed. The end of the data is not a failure.
  const std::string& ReadError() const { return FReadError; }

 private:
  TStream* FSource;
  std::string FReadError;
};

}  // namespace tonvale
