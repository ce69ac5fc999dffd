#include "platform/wmf/wmf_types.h"

#include <cstring>

namespace tonvale {

TWMMediaType AudioWaveType(TSubtype Subtype, const TWaveFormatEx& Format) {
  TWMMediaType t;
  t.majortype = TMajorType::Audio;
  t.subtype = Subtype;
  t.formattype = TFormatType::WaveFormatEx;
  t.bFixedSizeSamples = Subtype == TSubtype::PCM;
  t.lSampleSize = Format.nBlockAlign;
  t.Format.resize(sizeof(TWaveFormatEx) + Format.cbSize);
  std::memcpy(t.Format.data(), &Format, sizeof(TWaveFormatEx));
  return t;
}

HRESULT TMemorySample::GetLength(uint32_t* Length) {
  if (!Length) return E_INVALIDARG;
  *Length = FLength;
  return S_OK;
}

HRESULT TMemorySample::SetLength(uint32_t Length) {
  if (Length > FData.size()) return E_INVALIDARG;
  FLength = Length;
  return S_OK;
}

HRESULT TMemorySample::GetMaxLength(uint32_t* Length) {
  if (!Length) return E_INVALIDARG;
  *Length = static_cast<uint32_t>(FData.size());
  return S_OK;
}

HRESULT TMemorySample::GetBuffer(uint8_t** Buffer) {
  if (!Buffer) return E_INVALIDARG;
  *Buffer = FData.data();
  return S_OK;
}

HRESULT TMemorySample::GetBufferAndLength(uint8_t** Buffer, uint32_t* Length) {
  if (!Buffer || !Length) return E_INVALIDARG;
  *Buffer = FData.data();
  *Length = FLength;
  return S_OK;
}

}  // namespace tonvale
