// Decodes the same IMA ADPCM and Microsoft ADPCM files with TWaveIn and with
// ffmpeg and sox, and copies a PCM WAV through TWaveIn -> TWaveOut beside cp.
// Usage: bench_wave_codecs [seconds of audio, default 300]

#include <cstdio>

#include "audio/wave/wave_in.h"
#include "audio/wave/wave_out.h"
#include "bench/bench_util.h"
#include "platform/ui_thread.h"

using namespace tonvale;
using namespace tonvale::bench;

namespace {

void DrainInput(const std::string& Path) {
  TWaveIn in(nullptr);
  in.SetFileName(Path);
  in.BeginRead();
  uint64_t total = 0;
  for (;;) {
    uint8_t* buf;
    uint32_t n = 16384;
    in.GetData(buf, n);
    if (n == 0) break;
    total += n;
  }
  in.EndRead();
  if (total == 0) {
    std::fprintf(stderr, "nothing decoded from %s\n", Path.c_str());
    std::exit(1);
  }
}

void CopyWav(const std::string& From, const std::string& To) {
  TWaveIn in(nullptr);
  in.SetFileName(From);
  TWaveOut out(nullptr);
  out.SetInput(&in);
  out.SetFileName(To);
  out.SetDoneDelay(0);
  bool done = false;
  out.SetOnDone([&](TAuComponent*) { done = true; });
  out.Run();
  ui_thread::ProcessUntil([&] { return done; }, std::chrono::minutes(10));
}

}  // namespace

int main(int argc, char** argv) {
  ui_thread::Initialise();
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
  const auto dir = WorkDir("wave");
  const std::string pcm = (dir / "music.wav").string(), ima = (dir / "ima.wav").string(),
                    ms = (dir / "ms.wav").string(), copy = (dir / "copy.wav").string();
  Shell("ffmpeg -v error -y " + Music(seconds) + " -c:a pcm_s16le " + pcm);
  Shell("ffmpeg -v error -y -i " + pcm + " -c:a adpcm_ima_wav " + ima);
  Shell("ffmpeg -v error -y -i " + pcm + " -c:a adpcm_ms " + ms);
  std::printf("%d s of 44100 Hz stereo\n", seconds);

  for (auto [name, path] : {std::pair{"IMA ADPCM decode", ima}, std::pair{"MS ADPCM decode", ms}}) {
    double ours = TimeIt([&] { DrainInput(path); });
    double ffmpeg = TimeIt([&] { Shell("ffmpeg -v error -threads 1 -i " + path + " -f null -"); });
    double sox = TimeIt([&] { Shell("sox " + path + " -t null -"); });
    Ratio(name, ours, ffmpeg, "ffmpeg");
    Ratio(name, ours, sox, "sox");
  }
  double ours = TimeIt([&] { CopyWav(pcm, copy); });
  double cp = TimeIt([&] { Shell("cp " + pcm + " " + copy); });
  Ratio("PCM copy TWaveIn -> TWaveOut", ours, cp, "cp");
  std::printf("goals: ADPCM decoding ratio vs ffmpeg at most 1.0; PCM copy ratio vs cp at most 1.5\n");
  std::filesystem::remove_all(dir);
  return 0;
}
