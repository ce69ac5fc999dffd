// tonvale-cli beside ffmpeg (and lame) on the same conversions, and the
// time each file of a batch costs beyond its conversion.
// Usage: bench_cli [seconds of audio, default 300]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "bench/bench_util.h"

using namespace tonvale::bench;

// Runs Command through the shell; returns the child's peak resident memory in KB.
long RunMeasured(const std::string& Command) {
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", Command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  return usage.ru_maxrss;
}

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
  const auto dir = WorkDir("cli");
  const std::string d = dir.string();
  const std::string cli = std::string("env XDG_CONFIG_HOME=") + d + "/cfg '" TONVALE_CLI "' -q -y -o " + d + "/out ";
  Shell("mkdir -p " + d + "/out " + d + "/many");
  Shell("ffmpeg -v error -y " + Music(seconds) + " -c:a pcm_s16le " + d + "/music.wav");
  Shell("ffmpeg -v error -y -i " + d + "/music.wav -c:a libmp3lame -b:a 128k " + d + "/music.mp3");
  Shell("ffmpeg -v error -y -i " + d + "/music.wav -c:a wmav2 -b:a 128k " + d + "/music.wma");
  const std::string ff = "ffmpeg -v error -y -threads 1 -i " + d;
  std::printf("%d s of 44100 Hz stereo\n", seconds);
  auto quiet = [](const std::string& C) { return C + " > /dev/null 2>&1"; };
  Ratio("WAV -> MP3", TimeIt([&] { Shell(quiet(cli + "--to mp3 " + d + "/music.wav")); }, 2),
        TimeIt([&] { Shell(ff + "/music.wav -c:a libmp3lame -b:a 128k -joint_stereo 1 " + d + "/p.mp3"); }, 2),
        "ffmpeg");
  Ratio("WAV -> MP3", TimeIt([&] { Shell(quiet(cli + "--to mp3 " + d + "/music.wav")); }, 2),
        TimeIt([&] { Shell("lame --quiet --noreplaygain -b 128 -q 5 " + d + "/music.wav " + d + "/l.mp3"); }, 2),
        "lame");
  Ratio("WAV -> WMA", TimeIt([&] { Shell(quiet(cli + "--to wma " + d + "/music.wav")); }, 2),
        TimeIt([&] { Shell(ff + "/music.wav -c:a wmav2 -b:a 128k " + d + "/p.wma"); }, 2), "ffmpeg");
  Ratio("MP3 -> WAV", TimeIt([&] { Shell(quiet(cli + "--to wav " + d + "/music.mp3")); }, 2),
        TimeIt([&] { Shell(ff + "/music.mp3 " + d + "/p.wav"); }, 2), "ffmpeg");
  Ratio("WMA -> WAV", TimeIt([&] { Shell(quiet(cli + "--to wav " + d + "/music.wma")); }, 2),
        TimeIt([&] { Shell(ff + "/music.wma " + d + "/p.wav"); }, 2), "ffmpeg");

  // Today's recorders' files: 24-bit stereo and 5.1, down-mixed to stereo.
  Shell("ffmpeg -v error -y -i " + d + "/music.wav -c:a pcm_s24le " + d + "/s24.wav");
  Shell("ffmpeg -v error -y -i " + d +
        "/music.wav -af \"pan=5.1|FL=c0|FR=c1|FC=0.5*c0+0.5*c1|LFE=0.1*c0|BL=c0|BR=c1\" "
        "-c:a pcm_s16le " +
        d + "/surround.wav");
  for (const char* kind : {"s24", "surround"}) {
    const std::string name = std::string(kind) + " WAV";
    Ratio(
        (name + " -> MP3").c_str(), TimeIt([&] { Shell(quiet(cli + "--to mp3 " + d + "/" + kind + ".wav")); }, 2),
        TimeIt([&] { Shell(ff + "/" + kind + ".wav -ac 2 -c:a libmp3lame -b:a 128k -joint_stereo 1 " + d + "/p.mp3"); },
               2),
        "ffmpeg");
    Ratio((name + " -> WMA").c_str(), TimeIt([&] { Shell(quiet(cli + "--to wma " + d + "/" + kind + ".wav")); }, 2),
          TimeIt([&] { Shell(ff + "/" + kind + ".wav -ac 2 -c:a wmav2 -b:a 128k " + d + "/p.wma"); }, 2), "ffmpeg");
  }

  // 50 files of one second, against one file of fifty seconds.
  Shell("ffmpeg -v error -y " + Music(1) + " -c:a pcm_s16le " + d + "/many/f00.wav");
  for (int i = 1; i < 50; ++i)
    Shell("cp " + d + "/many/f00.wav " + d + "/many/f" + (i < 10 ? "0" : "") + std::to_string(i) + ".wav");
  Shell("ffmpeg -v error -y " + Music(50) + " -c:a pcm_s16le " + d + "/fifty.wav");
  // One at a time, so that the difference is the cost of a file.
  const double many = TimeIt([&] { Shell(quiet(cli + "-j 1 --to mp3 " + d + "/many/*.wav")); }, 2);
  const double one = TimeIt([&] { Shell(quiet(cli + "-j 1 --to mp3 " + d + "/fifty.wav")); }, 2);
  std::printf("%-34s %.1f ms per file beyond the conversion (50 x 1 s: %.3f s, 1 x 50 s: %.3f s)\n", "batch overhead",
              (many - one) / 49 * 1000, many, one);
  std::printf(
      "goals: each ratio at most 1.1 (the 24-bit and 5.1 ones at most 1.05); under 20 ms of overhead per file\n");

  // A batch of 20 files on all cores, beside the peers run two at a time.
  const int each = std::max(1, seconds / 10);
  Shell("mkdir -p " + d + "/batch " + d + "/peer");
  Shell("ffmpeg -v error -y " + Music(each) + " -c:a pcm_s16le " + d + "/batch/b00.wav");
  for (int i = 1; i < 20; ++i)
    Shell("cp " + d + "/batch/b00.wav " + d + "/batch/b" + (i < 10 ? "0" : "") + std::to_string(i) + ".wav");
  std::printf("batch of 20 files of %d s\n", each);
  for (const char* target : {"mp3", "wma"}) {
    long rss1 = 0, rss2 = 0;
    const double oneLane =
        TimeIt([&] { rss1 = RunMeasured(quiet(cli + "-j 1 --to " + target + " " + d + "/batch/*.wav")); }, 1);
    const double twoLanes =
        TimeIt([&] { rss2 = RunMeasured(quiet(cli + "-j 2 --to " + target + " " + d + "/batch/*.wav")); }, 1);
    const std::string peer =
        std::string(target) == "mp3"
            ? "lame --quiet --noreplaygain -b 128 -q 5 {} " + d + "/peer/$(basename {}).mp3"
            : "ffmpeg -v error -y -threads 1 -i {} -c:a wmav2 -b:a 128k " + d + "/peer/$(basename {}).wma";
    const double peers = TimeIt([&] { Shell("ls " + d + "/batch/*.wav | xargs -P 2 -I{} sh -c '" + peer + "'"); }, 1);
    std::printf("%s: -j 2 is %.2fx the throughput of -j 1 (goal: at least 1.85x on 2 cores)\n", target,
                oneLane / twoLanes);
    Ratio((std::string("batch -j 2 -> ") + target).c_str(), twoLanes, peers, "xargs -P2");
    std::printf("%s: peak resident memory %.1f MB with -j 1, %.1f MB per running file with -j 2 (goal: under 30 MB)\n",
                target, static_cast<double>(rss1) / 1024.0, static_cast<double>(rss2) / 2048.0);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
