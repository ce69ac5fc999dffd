#include "support/peers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace tonvale::test {

std::string Shell(const std::string& Command, int* Status) {
  std::string out;
  FILE* pipe = ::popen(Command.c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << Command;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  int rc = ::pclose(pipe);
  int code = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  if (Status)
    *Status = code;
  else
    EXPECT_EQ(code, 0) << "command failed: " << Command << "\n" << out;
  return out;
}

std::string Quote(const std::string& Text) {
  std::string q = "'";
  for (char c : Text) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

std::string Python(const std::string& Script) { return Shell("/usr/bin/python3 -c " + Quote(Script) + " 2>&1"); }

std::vector<uint8_t> ReadBytes(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& Path, const std::vector<uint8_t>& Bytes) {
  std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(Bytes.data()), Bytes.size());
}

void WriteText(const std::string& Path, const std::string& Text) { std::ofstream(Path, std::ios::binary) << Text; }

}  // namespace tonvale::test
