#include <mutex>

#include "platform/wmf/wmf_interfaces.h"

namespace tonvale {
namespace {

std::mutex gLock;
TWMRuntime gRuntime = FFmpegRuntime();

TWMRuntime Current() {
  std::lock_guard lock(gLock);
  return gRuntime;
}

}  // namespace

TWMRuntime SetWMRuntime(const TWMRuntime& Runtime) {
  std::lock_guard lock(gLock);
  TWMRuntime old = gRuntime;
  gRuntime = Runtime;
  return old;
}

HRESULT WMCreateSyncReader(void*, uint32_t, std::shared_ptr<IWMSyncReader>* Reader) {
  if (!Reader) return E_INVALIDARG;
  return Current().CreateSyncReader(Reader);
}

HRESULT WMCreateWriter(void*, std::shared_ptr<IWMWriter>* Writer) {
  if (!Writer) return E_INVALIDARG;
  return Current().CreateWriter(Writer);
}

HRESULT WMCreateWriterFileSink(std::shared_ptr<IWMWriterFileSink>* Sink) {
  if (!Sink) return E_INVALIDARG;
  return Current().CreateWriterFileSink(Sink);
}

HRESULT WMCreateProfileManager(std::shared_ptr<IWMProfileManager>* Manager) {
  if (!Manager) return E_INVALIDARG;
  return Current().CreateProfileManager(Manager);
}

}  // namespace tonvale
