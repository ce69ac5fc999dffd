#include "tags/au_tags.h"

#include <algorithm>
#include <charconv>
#include <strings.h>

#include "platform/text.h"

namespace tonvale {
namespace {

bool NameLess(const std::string& A, const std::string& B) { return ::strcasecmp(A.c_str(), B.c_str()) < 0; }

bool IsInteger(const TTagValue& V) { return V.index() >= 1 && V.index() <= 6; }

int64_t IntegerOf(const TTagValue& V) {
  return std::visit(
      [](const auto& x) -> int64_t {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_integral_v<T>)
          return static_cast<int64_t>(x);
        else
          return 0;
      },
      V);
}

}  // namespace

bool TagValueIsNull(const TTagValue& Value) { return Value.index() == 0; }

bool TagValuesEqual(const TTagValue& A, const TTagValue& B) {
  if (TagValueIsNull(A) || TagValueIsNull(B)) return TagValueIsNull(A) && TagValueIsNull(B);
  if (IsInteger(A) && IsInteger(B)) return IntegerOf(A) == IntegerOf(B);
  auto text = [](const TTagValue& V) {
    if (IsInteger(V)) return Utf8ToUtf16(std::to_string(IntegerOf(V)));
    if (auto* s = std::get_if<std::string>(&V)) return Utf8ToUtf16(*s);
    return std::get<std::u16string>(V);
  };
  return text(A) == text(B);
}

bool ParseInteger(const std::string& Text, int32_t& Value) {
  std::string_view s = Text;
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s[0] == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return false;
  int64_t n = 0;
  auto [end, err] = std::from_chars(s.data(), s.data() + s.size(), n, base);
  if (err != std::errc() || end != s.data() + s.size()) return false;
  if (negative) n = -n;
  if (base == 16 && n > INT32_MAX && n <= UINT32_MAX) n = static_cast<int32_t>(static_cast<uint32_t>(n));
  if (n < INT32_MIN || n > INT32_MAX) return false;
  Value = static_cast<int32_t>(n);
  return true;
}

std::string TrimControl(const std::string& Text) {
  size_t first = 0, last = Text.size();
  while (first < last && static_cast<unsigned char>(Text[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(Text[last - 1]) <= 32) --last;
  return Text.substr(first, last - first);
}

std::string TAuTags::FieldNames(int Index) const {
  if (Index < 0 || Index >= FieldCount()) return {};
  return FFields[Index].first;
}

const TTagValue* TAuTags::Find(const std::string& Name) const {
  auto it = std::lower_bound(FFields.begin(), FFields.end(), Name,
                             [](const auto& f, const std::string& n) { return NameLess(f.first, n); });
  if (it == FFields.end() || ::strcasecmp(it->first.c_str(), Name.c_str()) != 0) return nullptr;
  return &it->second;
}

TTagValue* TAuTags::Find(const std::string& Name) {
  return const_cast<TTagValue*>(static_cast<const TAuTags*>(this)->Find(Name));
}

TTagValue TAuTags::GetValue(const std::string& Name) const {
  const TTagValue* v = Find(Name);
  return v ? *v : TTagValue{};
}

void TAuTags::SetValue(const std::string& Name, const TTagValue& Value) {
  TTagValue* v = Find(Name);
  if (!v || TagValuesEqual(*v, Value)) return;
  *v = Value;
  FEmpty = false;
  FChanged = true;
}

int32_t TAuTags::AsInteger(const std::string& Name) const {
  const TTagValue* v = Find(Name);
  if (!v) return 0;
  if (IsInteger(*v)) return static_cast<int32_t>(IntegerOf(*v));
  std::string text;
  if (auto* s = std::get_if<std::string>(v))
    text = *s;
  else if (auto* w = std::get_if<std::u16string>(v))
    text = Utf16ToUtf8(*w);
  else
    return 0;
  int32_t n = 0;
  return ParseInteger(text, n) ? n : 0;
}

std::string TAuTags::AsString(const std::string& Name) const {
  const TTagValue* v = Find(Name);
  if (!v) return {};
  if (IsInteger(*v)) return std::to_string(IntegerOf(*v));
  if (auto* s = std::get_if<std::string>(v)) return *s;
  if (auto* w = std::get_if<std::u16string>(v)) return Utf16ToUtf8(*w);
  return {};
}

std::u16string TAuTags::AsWideString(const std::string& Name) const {
  const TTagValue* v = Find(Name);
  if (v)
    if (auto* w = std::get_if<std::u16string>(v)) return *w;
  return Utf8ToUtf16(AsString(Name));
}

void TAuTags::AddField(const std::string& Name) {
  if (Name.empty() || Find(Name)) return;
  auto it = std::lower_bound(FFields.begin(), FFields.end(), Name,
                             [](const auto& f, const std::string& n) { return NameLess(f.first, n); });
  FFields.insert(it, {Name, TTagValue{}});
}

void TAuTags::Clear() {
  for (auto& f : FFields) f.second = TTagValue{};
  FEmpty = true;
  FChanged = true;
}

void TAuTags::Assign(const TAuTags& Source) {
  if (&Source == this) return;
  Clear();
  for (const auto& f : Source.FFields) SetValue(f.first, f.second);
}

bool TAuTags::TagPresent(int FileHandle) { return FileHandle != INVALID_HANDLE_VALUE; }

bool TAuTags::ReadFromFile(int FileHandle) {
  if (FileHandle == INVALID_HANDLE_VALUE) return false;
  Clear();
  return true;
}

bool TAuTags::WriteToFile(int FileHandle, bool) { return FileHandle != INVALID_HANDLE_VALUE; }

}  // namespace tonvale
