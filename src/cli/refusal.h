#pragma once
// A run that cannot be made (a usage error, a missing output folder, bad
// settings): said on standard error, and with --json also as one JSON object
// on standard output, so that a reader of it always gets one.

#include <string>
#include <vector>

namespace tonvale {

// Says Message ("tonvale-cli: Message", its control characters escaped) and,
// with Json, writes {"error": {"kind": Kind, "message": Message}, "warnings":
// Warnings, "files": [], "totals": ...}. Gives Status, the exit status.
int Refuse(bool Json, const char* Kind, const std::string& Message, int Status = 2,
           const std::vector<std::string>& Warnings = {});

// Text for standard output: escaped as on standard error when it is a
// terminal, exact (for scripts) when it is not.
std::string ForStandardOutput(const std::string& Text);

}  // namespace tonvale
