#include "cli/refusal.h"

#include <unistd.h>

#include <cstdio>

#include "cli/run_json.h"
#include "cli/stop_signal.h"
#include "cli/terminal_text.h"

namespace tonvale {

int Refuse(bool Json, const char* Kind, const std::string& Message, int Status,
           const std::vector<std::string>& Warnings) {
  SayOnError("tonvale-cli: %s\n", EscapeControls(Message).c_str());
  if (Json) {
    const std::string error =
        std::string("\"error\": {\"kind\": ") + JsonText(Kind) + ", \"message\": " + JsonText(Message) + "}";
    WriteStandardOutput(JsonRun(error, Warnings, {}, JsonTotals(0, 0, 0, 0, 0)));
  }
  return Status;
}

std::string ForStandardOutput(const std::string& Text) { return ::isatty(STDOUT_FILENO) ? EscapeControls(Text) : Text; }

}  // namespace tonvale
