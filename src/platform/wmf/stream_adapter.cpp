#include "platform/wmf/stream_adapter.h"

#include <exception>

namespace tonvale {

// A read that reaches the end gives S_FALSE with the bytes there were; a
// read that fails gives STG_E_READFAULT and keeps the reason.
HRESULT TStreamAdapter::Read(void* Buffer, uint32_t Count, uint32_t* Read) {
  int64_t n = 0;
  HRESULT result = S_OK;
  try {
    n = FSource->Read(Buffer, Count);
    if (n < Count) result = S_FALSE;
  } catch (const std::exception& e) {
    n = 0;
    FReadError = e.what();
    result = STG_E_READFAULT;
  }
  if (Read) *Read = static_cast<uint32_t>(n);
  return result;
}

HRESULT TStreamAdapter::Write(const void* Buffer, uint32_t Count, uint32_t* Written) {
  int64_t n = 0;
  try {
    n = FSource->Write(Buffer, Count);
  } catch (const std::exception&) {
    n = 0;
  }
  if (Written) *Written = static_cast<uint32_t>(n);
  return n > 0 ? S_OK : STG_E_INVALIDFUNCTION;
}

HRESULT TStreamAdapter::Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) {
  // Positions are full 64-bit here, and a refused seek says so, so that the
  // runtime can tell a stream it cannot seek.
  TSeekOrigin origin = Origin == STREAM_SEEK_SET   ? TSeekOrigin::soBeginning
                       : Origin == STREAM_SEEK_CUR ? TSeekOrigin::soCurrent
                                                   : TSeekOrigin::soEnd;
  int64_t pos;
  try {
    pos = FSource->Seek(Move, origin);
  } catch (const std::exception&) {
    pos = -1;
  }
  if (pos < 0) return STG_E_INVALIDFUNCTION;
  if (NewPosition) *NewPosition = static_cast<uint64_t>(pos);
  return S_OK;
}

HRESULT TStreamAdapter::SetSize(uint64_t NewSize) {
  return Seek(static_cast<int64_t>(NewSize), STREAM_SEEK_SET, nullptr);
}

HRESULT TStreamAdapter::Stat(TStatStg* Stat, uint32_t) {
  if (!Stat) return E_INVALIDARG;
  const int64_t size = FSource->Size();
  if (size < 0) return STG_E_INVALIDFUNCTION;
  Stat->cbSize = static_cast<uint64_t>(size);
  Stat->grfLocksSupported = 0;
  return S_OK;
}

HRESULT TStreamAdapter::Clone(std::shared_ptr<IStream>* Stream) {
  if (Stream) Stream->reset();
  return STG_E_INVALIDFUNCTION;
}

}  // namespace tonvale
