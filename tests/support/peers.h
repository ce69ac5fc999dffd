#pragma once
// Running the peer tools (ffmpeg, ffprobe, sox, lame, mutagen) from tests.

#include <cstdint>
#include <string>
#include <vector>

namespace tonvale::test {

// Runs a shell command; returns its standard output. Status receives the
// exit status when given; otherwise a failing command fails the test.
std::string Shell(const std::string& Command, int* Status = nullptr);
// Quotes Text for the shell.
std::string Quote(const std::string& Text);
// Runs a Python script with the system's python3, which has mutagen.
std::string Python(const std::string& Script);

std::vector<uint8_t> ReadBytes(const std::string& Path);
void WriteBytes(const std::string& Path, const std::vector<uint8_t>& Bytes);
void WriteText(const std::string& Path, const std::string& Text);

}  // namespace tonvale::test
