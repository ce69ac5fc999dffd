// Encodes the same WAV through TWaveIn -> TMP3Out at CBR 128 kbit/s, quality
// 5, joint stereo, beside the lame program with the same settings, by wall time and by
// instructions executed (callgrind, on a shorter clip).
// Usage: bench_mp3_encode [seconds, default 300]
//        bench_mp3_encode --encode IN.wav OUT.mp3   (one encode, for counting)

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "audio/lame/mp3_out.h"
#include "audio/wave/wave_in.h"
#include "bench/bench_util.h"
#include "bench/mp3_bench.h"
#include "platform/ui_thread.h"

using namespace tonvale;
using namespace tonvale::bench;

namespace {

void EncodeFile(const std::string& Wav, const std::string& Mp3) {
  TWaveIn in(nullptr);
  TMP3Out out(nullptr);
  SetUpMp3(in, out, Wav, Mp3);
  out.SetQuality(ql5);
  bool done = false;
  out.SetOnDone([&](TAuComponent*) { done = true; });
  out.Run();
  ui_thread::ProcessUntil([&] { return done; }, std::chrono::minutes(10));
  if (!out.ErrorMessage().empty()) {
    std::fprintf(stderr, "%s\n", out.ErrorMessage().c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ui_thread::Initialise();
  if (argc == 4 && std::strcmp(argv[1], "--encode") == 0) {
    EncodeFile(argv[2], argv[3]);
    return 0;
  }
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
  const auto dir = WorkDir("mp3");
  const std::string wav = (dir / "music.wav").string(), ours = (dir / "ours.mp3").string(),
                    theirs = (dir / "lame.mp3").string(), clip = (dir / "clip.wav").string();
  Shell("ffmpeg -v error -y " + Music(seconds) + " -c:a pcm_s16le " + wav);
  const std::string lame = "lame --quiet --noreplaygain -b 128 -q 5 ";
  std::printf("%d s of 44100 Hz stereo, CBR 128 kbit/s, quality 5\n", seconds);
  double t = TimeIt([&] { EncodeFile(wav, ours); }, 2);
  double l = TimeIt([&] { Shell(lame + wav + " " + theirs); }, 2);
  Ratio("WAV -> MP3 wall time", t, l, "lame");

  // Long enough that starting the programs weighs little.
  const int clipSeconds = std::min(seconds, 30);
  Shell("ffmpeg -v error -y " + Music(clipSeconds) + " -c:a pcm_s16le " + clip);
  long long ti = Instructions(std::string(argv[0]) + " --encode " + clip + " " + ours);
  long long li = Instructions(lame + clip + " " + theirs);
  if (ti > 0 && li > 0)
    std::printf("%-34s tonvale %lld  lame %lld  ratio %.3f\n",
                ("WAV -> MP3 instructions (" + std::to_string(clipSeconds) + " s)").c_str(), ti, li,
                double(ti) / double(li));
  else
    std::printf("instruction counts unavailable (valgrind missing)\n");
  std::printf("goal: ratio within 1.05 of the lame program\n");
  std::filesystem::remove_all(dir);
  return 0;
}
