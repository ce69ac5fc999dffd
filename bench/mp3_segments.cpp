// One long WAV encoded to MP3 as a run of that one file on every core: the
// segmented encoding against one pass of the same output and against the
// lame program, for CBR 128 kbit/s and VBR quality 4, with the fallbacks
// counted and a projection for 8 cores from the segments' processor time.
// Usage: bench_mp3_segments [minutes...]   (default: 10 60)

#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "audio/lame/mp3_out.h"
#include "audio/wave/wave_in.h"
#include "bench/bench_util.h"
#include "bench/mp3_bench.h"
#include "platform/ui_thread.h"

using namespace tonvale;
using namespace tonvale::bench;

namespace {

struct TResult {
  double Wall = 0, Cpu = 0, SegmentCpu = 0;
  int Segments = 1, Raised = 0;
  bool FellBack = false;
};

double ProcessCpu() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& T) { return static_cast<double>(T.tv_sec) + static_cast<double>(T.tv_usec) * 1e-6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

int Cores() {
  cpu_set_t set;
  return sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
}

TResult Encode(const std::string& Wav, const std::string& Mp3, bool Vbr, int Lanes) {
  TWaveIn in(nullptr);
  TMP3Out out(nullptr);
  SetUpMp3(in, out, Wav, Mp3);
  out.SetEnableVBR(Vbr);
  out.SetVBRQuality(ql4);
  out.SetVBRMinBitrate(32);
  out.SetVBRMaxBitrate(320);
  out.SegmentLanes = Lanes;
  out.SegmentSource = [Wav] {
    auto source = std::make_unique<TWaveIn>(nullptr);
    source->SetFileName(Wav);
    return std::unique_ptr<TAuFileIn>(std::move(source));
  };
  bool done = false;
  out.SetOnDone([&](TAuComponent*) { done = true; });
  TResult r;
  const double cpu = ProcessCpu();
  r.Wall = TimeIt(
      [&] {
        done = false;
        out.Run();
        ui_thread::ProcessUntil([&] { return done; }, std::chrono::minutes(30));
      },
      1);
  if (!out.ErrorMessage().empty()) {
    std::fprintf(stderr, "%s\n", out.ErrorMessage().c_str());
    std::exit(1);
  }
  r.Segments = out.LastSegments();
  r.FellBack = out.LastFellBack();
  r.Raised = out.LastRaised();
  r.Cpu = ProcessCpu() - cpu;
  r.SegmentCpu = out.LastSegmentCpu();
  return r;
}

std::string LoadAverage() {
  char text[64] = {};
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (!std::fgets(text, sizeof text, f)) text[0] = 0;
    std::fclose(f);
  }
  return std::string(text, strnlen(text, 14));
}

}  // namespace

int main(int argc, char** argv) {
  ui_thread::Initialise();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as it comes, for a long run
  std::vector<int> minutes;
  for (int i = 1; i < argc; ++i) minutes.push_back(std::atoi(argv[i]));
  if (minutes.empty()) minutes = {10, 60};
  const int cores = Cores();
  const auto dir = WorkDir("segments");
  int fallbacks = 0;
  for (const int m : minutes) {
    const std::string wav = (dir / "long.wav").string(), one = (dir / "one.mp3").string(),
                      seg = (dir / "seg.mp3").string(), peer = (dir / "lame.mp3").string();
    Shell("ffmpeg -v error -y " + Music(m * 60) + " -c:a pcm_s16le " + wav);
    std::printf("%d min of 44100 Hz stereo on %d cores (load average now: %s)\n", m, cores, LoadAverage().c_str());
    for (const bool vbr : {false, true}) {
      const char* name = vbr ? "VBR quality 4" : "CBR 128 kbit/s";
      const TResult single = Encode(wav, one, vbr, 1);
      const TResult split = Encode(wav, seg, vbr, cores);
      fallbacks += split.FellBack ? 1 : 0;
      // The VBR routine the converter asks LAME for is the old one.
      const std::string lame =
          vbr ? "lame --quiet --noreplaygain --vbr-old -V 4 -m j " : "lame --quiet --noreplaygain -b 128 -m j ";
      const double peerWall = TimeIt([&] { Shell(lame + wav + " " + peer); }, 1);
      std::printf("%-15s %2d segments%s  one pass %7.2f s  segmented %7.2f s  ratio %.2fx  lame %7.2f s (%.2fx)\n",
                  name, split.Segments,
                  split.FellBack        ? " (fell back)"
                  : split.Segments == 1 ? " (one pass: not segmented)"
                                        : "",
                  single.Wall, split.Wall, single.Wall / split.Wall, peerWall, peerWall / split.Wall);
      std::printf("%-15s processor time: one pass %.2f s, segmented %.2f s (+%.1f %%)\n", name, single.Cpu, split.Cpu,
                  100.0 * (split.Cpu / single.Cpu - 1));
      if (split.Segments > 1) {
        // At rest on C cores: the same processor time per frame, in
        // segments of at most four minutes with their lead-ins, as many for
        // each core (the join, well under a second, left out).
        const double frames = m * 60.0 * 44100 / 1152;
        const double perFrame = split.SegmentCpu / (frames + 340.0 * (split.Segments - 1));
        auto projected = [&](int C) {
          const double rounds = std::ceil(m / (4.0 * C));
          return single.Cpu / (rounds * (frames / (C * rounds) + 340) * perFrame);
        };
        std::printf("%-15s projected at rest: %.2fx one pass on %d cores, %.2fx on 8\n", name, projected(cores), cores,
                    projected(8));
        std::printf("%-15s byte-identical to one pass: %s\n", name,
                    std::system(("cmp -s " + one + " " + seg).c_str()) == 0 ? "yes" : "no");
        if (vbr)
          std::printf("%-15s frames given a higher bit rate at splices: %d; size %+.3f %% of one pass\n", name,
                      split.Raised,
                      100.0 * (double(std::filesystem::file_size(seg)) / double(std::filesystem::file_size(one)) - 1));
      }
    }
  }
  std::printf("fallbacks to one pass: %d\n", fallbacks);
  return 0;
}
