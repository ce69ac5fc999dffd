// Decodes the same MP3 and WMA with TMP3In/TWMIn into TWaveOut, and encodes
// a WAV with TWaveIn -> TWMAOut at 128 kbit/s, beside ffmpeg doing the same
// with one thread.
// Usage: bench_winmedia_codecs [seconds of audio, default 300]

#include <cstdio>

#include "audio/wave/wave_in.h"
#include "audio/wave/wave_out.h"
#include "audio/winmedia/wm_in.h"
#include "audio/winmedia/wma_out.h"
#include "bench/bench_util.h"
#include "platform/ui_thread.h"

using namespace tonvale;
using namespace tonvale::bench;

namespace {

void RunOutput(TAuOutput& Out) {
  Out.SetDoneDelay(0);
  bool done = false;
  Out.SetOnDone([&](TAuComponent*) { done = true; });
  Out.Run();
  ui_thread::ProcessUntil([&] { return done; }, std::chrono::minutes(10));
  if (!Out.ErrorMessage().empty()) {
    std::fprintf(stderr, "%s\n", Out.ErrorMessage().c_str());
    std::exit(1);
  }
}

void Decode(const std::string& From, const std::string& To) {
  TWMIn in(nullptr);
  in.SetFileName(From);
  TWaveOut out(nullptr);
  out.SetInput(&in);
  out.SetFileName(To);
  RunOutput(out);
}

void EncodeWma(const std::string& From, const std::string& To) {
  TWaveIn in(nullptr);
  in.SetFileName(From);
  TWMAOut out(nullptr);
  out.SetInput(&in);
  out.SetFileName(To);
  out.CodecIndex = 0;
  out.FormatIndex = 29;  // 128 kbps, 44 kHz, stereo
  RunOutput(out);
}

}  // namespace

int main(int argc, char** argv) {
  ui_thread::Initialise();
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
  const auto dir = WorkDir("winmedia");
  const std::string wav = (dir / "music.wav").string(), mp3 = (dir / "music.mp3").string(),
                    wma = (dir / "music.wma").string(), out = (dir / "out.wav").string(),
                    outWma = (dir / "out.wma").string();
  Shell("ffmpeg -v error -y " + Music(seconds) + " -c:a pcm_s16le " + wav);
  Shell("ffmpeg -v error -y -i " + wav + " -c:a libmp3lame -b:a 128k " + mp3);
  Shell("ffmpeg -v error -y -i " + wav + " -c:a wmav2 -b:a 128k " + wma);
  std::printf("%d s of 44100 Hz stereo\n", seconds);
  const std::string ff = "ffmpeg -v error -y -threads 1 -i ";
  Ratio("MP3 -> WAV", TimeIt([&] { Decode(mp3, out); }), TimeIt([&] { Shell(ff + mp3 + " " + out); }), "ffmpeg");
  Ratio("WMA -> WAV", TimeIt([&] { Decode(wma, out); }), TimeIt([&] { Shell(ff + wma + " " + out); }), "ffmpeg");
  Ratio("WAV -> WMA 128 kbit/s", TimeIt([&] { EncodeWma(wav, outWma); }),
        TimeIt([&] { Shell(ff + wav + " -c:a wmav2 -b:a 128k " + outWma); }), "ffmpeg");
  std::printf("goal: each ratio at most 1.1\n");
  std::filesystem::remove_all(dir);
  return 0;
}
