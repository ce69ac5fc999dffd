#include "support/temp_dir.h"

#include <cstdlib>
#include <random>

namespace tonvale::test {

TempDir::TempDir() {
  static std::mt19937_64 rng{std::random_device{}()};
  const char* base = std::getenv("TONVALE_TEST_TMP");
  auto root = base ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
  FPath = root / ("tonvale-" + std::to_string(rng()));
  std::filesystem::create_directories(FPath);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(FPath, ec);
}

}  // namespace tonvale::test
