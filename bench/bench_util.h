#pragma once
// Shared pieces of the benchmarks: timing, running peers, temporary files,
// the music-like material.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

namespace tonvale::bench {

inline double TimeIt(const std::function<void()>& Work, int Rounds = 3) {
  double best = 1e30;
  for (int i = 0; i < Rounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    Work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

inline void Shell(const std::string& Command) {
  if (std::system(Command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", Command.c_str());
    std::exit(1);
  }
}

inline std::filesystem::path WorkDir(const std::string& Name) {
  auto dir = std::filesystem::temp_directory_path() / ("tonvale-bench-" + Name);
  std::filesystem::create_directories(dir);
  return dir;
}

// ffmpeg input options for Seconds of a music-like signal.
inline std::string Music(int Seconds) {
  return "-f lavfi -i \"aevalsrc=exprs='0.25*sin(2*PI*220*t)+0.2*sin(2*PI*277.2*t+0.3*sin(2*PI*5*t))"
         "+0.15*sin(2*PI*329.6*t)+0.1*sin(2*PI*1760*t)*sin(2*PI*0.5*t)+0.02*(random(0)-0.5)|"
         "0.2*sin(2*PI*221*t)+0.2*sin(2*PI*330*t)+0.02*(random(1)-0.5)':s=44100:d=" +
         std::to_string(Seconds) + "\"";
}

inline void Ratio(const char* What, double Ours, double Peer, const char* PeerName) {
  std::printf("%-34s tonvale %7.3f s  %-8s %7.3f s  ratio %.2f\n", What, Ours, PeerName, Peer, Ours / Peer);
}

}  // namespace tonvale::bench

namespace tonvale::bench {

// Instructions a command executes, counted by callgrind; -1 without valgrind.
inline long long Instructions(const std::string& Command) {
  const std::string log = (std::filesystem::temp_directory_path() / "tonvale-callgrind.log").string();
  const std::string run =
      "valgrind --tool=callgrind --callgrind-out-file=/dev/null " + Command + " > /dev/null 2> " + log;
  if (std::system(run.c_str()) != 0) return -1;
  FILE* f = std::fopen(log.c_str(), "r");
  if (!f) return -1;
  char line[512];
  long long total = -1;
  while (std::fgets(line, sizeof line, f)) {
    const char* at = std::strstr(line, "Collected : ");
    if (at) total = std::atoll(at + 12);
  }
  std::fclose(f);
  return total;
}

}  // namespace tonvale::bench
