// Many small tagged MP3 files to WMA, one lane: what reading, writing and
// reading back each file's tags costs, beside ffmpeg carrying the same tags,
// and beside an earlier build of tonvale-cli when one is named.
// Usage: bench_tags [files, default 1000] [earlier tonvale-cli]

#include <cstdio>

#include "bench/bench_util.h"

using namespace tonvale::bench;

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 1000;
  const std::string earlier = argc > 2 ? argv[2] : "";
  const auto dir = WorkDir("tags");
  const std::string d = dir.string();
  Shell("mkdir -p " + d + "/src " + d + "/out " + d + "/peer");
  Shell("ffmpeg -v error -y " + Music(1) +
        " -c:a libmp3lame -b:a 128k -id3v2_version 4 -metadata title='A title' -metadata artist='An artist' "
        "-metadata album='An album' -metadata album_artist='Band' -metadata composer='Writer' -metadata date=2004 "
        "-metadata track=3/12 -metadata disc=1/2 -metadata genre=Rock -metadata comment='A comment' " +
        d + "/src/f0000.mp3");
  Shell("cd " + d + "/src && for i in $(seq 1 " + std::to_string(files - 1) +
        "); do cp f0000.mp3 $(printf 'f%04d.mp3' $i); done");
  const auto run = [&](const std::string& Cli) {
    return TimeIt(
        [&] {
          Shell("env XDG_CONFIG_HOME=" + d + "/cfg " + Cli + " -q -y -j 1 -o " + d + "/out --to wma " + d +
                "/src/*.mp3 > /dev/null 2>&1");
        },
        2);
  };
  const double ours = run("'" TONVALE_CLI "'");
  const double peer = TimeIt(
      [&] {
        Shell("for f in " + d + "/src/*.mp3; do ffmpeg -v error -y -threads 1 -i $f -c:a wmav2 -b:a 128k " + d +
              "/peer/$(basename $f .mp3).wma; done");
      },
      1);
  std::printf("%d tagged MP3 files of 1 s to WMA, one lane\n", files);
  Ratio("tagged MP3 -> WMA", ours, peer, "ffmpeg");
  if (!earlier.empty()) Ratio("tagged MP3 -> WMA", ours, run("'" + earlier + "'"), "the earlier build");
  std::printf("goal: at most 1.1 against the earlier build\n");
  std::filesystem::remove_all(dir);
  return 0;
}
