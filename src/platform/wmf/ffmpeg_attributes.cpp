#include <cstring>

#include "platform/text.h"
#include "platform/wmf/ffmpeg_runtime.h"

namespace tonvale::wmf {

HRESULT TAttributes::GetAttributeByName(uint16_t* StreamNumber, const std::u16string& Name, TWMTAttrDataType* Type,
                                        uint8_t* Value, uint32_t* Length) {
  if (!StreamNumber || !Type || !Length) return E_INVALIDARG;
  if (*StreamNumber != 0) return ASF_E_NOTFOUND;
  auto it = FValues.find(Name);
  if (it == FValues.end()) return ASF_E_NOTFOUND;
  const auto& v = it->second;
  *Type = v.Type;
  if (!Value) {
    *Length = static_cast<uint32_t>(v.Bytes.size());
    return S_OK;
  }
  if (*Length < v.Bytes.size()) return E_INVALIDARG;
  std::memcpy(Value, v.Bytes.data(), v.Bytes.size());
  *Length = static_cast<uint32_t>(v.Bytes.size());
  return S_OK;
}

HRESULT TAttributes::SetAttribute(uint16_t StreamNumber, const std::u16string& Name, TWMTAttrDataType Type,
                                  const uint8_t* Value, uint32_t Length) {
  if (StreamNumber != 0 || Name.empty() || (Length && !Value)) return E_INVALIDARG;
  FValues[Name] = {Type, std::vector<uint8_t>(Value, Value + Length)};
  return S_OK;
}

void TAttributes::SetString(const std::u16string& Name, const std::u16string& Text) {
  std::vector<uint8_t> bytes;
  bytes.reserve((Text.size() + 1) * 2);
  for (char16_t c : Text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  FValues[Name] = {WMT_TYPE_STRING, bytes};
}

void TAttributes::SetQword(const std::u16string& Name, uint64_t Value) {
  std::vector<uint8_t> bytes(8);
  std::memcpy(bytes.data(), &Value, 8);
  FValues[Name] = {WMT_TYPE_QWORD, bytes};
}

std::vector<std::pair<std::string, std::string>> TAttributes::Strings() const {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& [name, v] : FValues) {
    if (v.Type != WMT_TYPE_STRING) continue;
    std::u16string text(v.Bytes.size() / 2, u'\0');
    std::memcpy(text.data(), v.Bytes.data(), text.size() * 2);
    // Several values are separated by zeros; the terminator is none.
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    for (size_t from = 0;;) {
      const size_t to = text.find(u'\0', from);
      out.emplace_back(Utf16ToUtf8(name), Utf16ToUtf8(text.substr(from, to - from)));
      if (to == std::u16string::npos) break;
      from = to + 1;
    }
  }
  return out;
}

}  // namespace tonvale::wmf
