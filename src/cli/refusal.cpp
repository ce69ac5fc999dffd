#include "cli/refusal.h"

#include <unistd.h>

#include <cstdio>

#include "cli/run_json.h"
#include "cli/terminal_text.h"

namespace tonvale {

int Refuse(bool Json, const char* Kind, const std::string& Message, int Status) {
  std::fprintf(stderr, "tonvale-cli: %s\n", EscapeControls(Message).c_str());
  if (Json) {
    const std::string error =
        std::string("\"error\": {\"kind\": ") + JsonText(Kind) + ", \"message\": " + JsonText(Message) + "}";
    std::printf("%s", JsonRun(error, {}, JsonTotals(0, 0, 0, 0, 0)).c_str());
    std::fflush(stdout);
  }
  return Status;
}

std::string ForStandardOutput(const std::string& Text) { return ::isatty(STDOUT_FILENO) ? EscapeControls(Text) : Text; }

}  // namespace tonvale
