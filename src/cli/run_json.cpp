#include "cli/run_json.h"

#include <cstdio>

#include <utf8cpp/utf8.h>

#include "platform/text.h"

namespace tonvale {

std::string JsonPath(const char* Name, const std::string& Path) {
  std::string field = "\"" + std::string(Name) + "\": " + (Path.empty() ? "null" : JsonText(Path));
  if (IsUtf8(Path)) return field;
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : Path) hex += {kHex[c >> 4], kHex[c & 15]};
  return field + ", \"" + Name + "_bytes\": \"" + hex + "\"";
}

std::string JsonText(const std::string& Text) {
  std::string out = "\"";
  for (size_t i = 0; i < Text.size(); ++i) {
    const auto c = static_cast<unsigned char>(Text[i]);
    if (c >= 0x80) {
      // A valid sequence is copied; each byte of an invalid one becomes U+FFFD.
      auto it = Text.begin() + static_cast<std::ptrdiff_t>(i);
      try {
        utf8::next(it, Text.end());
        out.append(Text.begin() + static_cast<std::ptrdiff_t>(i), it);
        i = static_cast<size_t>(it - Text.begin()) - 1;
      } catch (const utf8::exception&) {
        out += "\xEF\xBF\xBD";
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonFile(const TFileResult& R, const std::vector<std::string>& Extra) {
  std::string warnings;
  for (const TWarning& w : R.Warnings) warnings += (warnings.empty() ? "" : ", ") + JsonText(w.Text);
  std::string json = "{" + JsonPath("source", R.Source) + ", " + JsonPath("output", R.Output) +
                     ", \"outcome\": " + JsonText(OutcomeName(R.Outcome)) + ", \"reason\": " + JsonText(R.Message) +
                     ", \"reason_kind\": " + JsonText(ReasonName(R.Reason)) + ", \"warnings\": [" + warnings + "]";
  for (const std::string& e : Extra) json += ", " + e;
  return json + "}";
}

std::string JsonTotals(int Converted, int Skipped, int Failed, int NotStarted, int64_t Bytes) {
  char totals[200];
  std::snprintf(totals, sizeof totals,
                "\"totals\": {\"converted\": %d, \"skipped\": %d, \"failed\": %d, \"not started\": %d, "
                "\"bytes\": %lld}",
                Converted, Skipped, Failed, NotStarted, static_cast<long long>(Bytes));
  return totals;
}

std::string JsonRun(const std::string& Head, const std::vector<std::string>& Warnings,
                    const std::vector<std::string>& Files, const std::string& Tail) {
  std::string json = "{" + (Head.empty() ? "" : Head + ", ") + "\"warnings\": [";
  for (size_t i = 0; i < Warnings.size(); ++i) json += (i ? ", " : "") + JsonText(Warnings[i]);
  json += "], \"files\": [";
  for (size_t i = 0; i < Files.size(); ++i) json += (i ? ", " : "") + Files[i];
  return json + "]" + (Tail.empty() ? "" : ", " + Tail) + "}\n";
}

}  // namespace tonvale
