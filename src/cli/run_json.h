#pragma once
// The JSON of a run and of a dry run: one object, each file's fields, the
// totals.

#include <cstdint>
#include <string>
#include <vector>

#include "conversion/file_result.h"

namespace tonvale {

// Text as a JSON string literal, quotes included; each byte that is not
// part of valid UTF-8 becomes U+FFFD, so the literal is always valid.
std::string JsonText(const std::string& Text);
// "Name": the path as JSON text (null when empty), and for a path that is not
// UTF-8 also "Name_bytes": its exact bytes as lowercase hex.
std::string JsonPath(const char* Name, const std::string& Path);
// One file: source, output, outcome, reason, reason_kind and warnings, then
// Extra, fields already written as JSON ("\"bytes\": 12").
std::string JsonFile(const TFileResult& Result, const std::vector<std::string>& Extra);
// "totals": the counts of a run.
std::string JsonTotals(int Converted, int Skipped, int Failed, int NotStarted, int64_t Bytes);
// The whole object: Head's fields (or none), the run's warnings (texts), the
// files, then Tail's fields.
std::string JsonRun(const std::string& Head, const std::vector<std::string>& Warnings,
                    const std::vector<std::string>& Files, const std::string& Tail);

}  // namespace tonvale
