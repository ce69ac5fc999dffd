// tonvale-cli end to end: every mode on peer-made fixtures, outputs checked
// with ffprobe, an ffmpeg decode and mutagen.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/audio_fixtures.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale::test;
namespace fs = std::filesystem;

namespace {

struct Result {
  int Status;
  std::string Out, Err;
};

struct Cli {
  TempDir Dir;
  std::string Out = Dir.File("out");
  Cli() { fs::create_directories(Out); }

  std::string Path(const std::string& Name) const { return Dir.File(Name); }

  Result Run(const std::string& Args, const std::string& Prefix = "") {
    const std::string out = Dir.File("stdout.txt"), err = Dir.File("stderr.txt");
    int status = 0;
    Shell("cd " + Quote(Dir.Path().string()) + " && " + Prefix + "env XDG_CONFIG_HOME=" + Quote(Dir.File("cfg")) + " " +
              Quote(TONVALE_CLI) + " " + Args + " > " + Quote(out) + " 2> " + Quote(err) + " < /dev/null",
          &status);
    auto text = [](const std::string& P) {
      std::ifstream in(P);
      std::stringstream s;
      s << in.rdbuf();
      return s.str();
    };
    return {status, text(out), text(err)};
  }

  // Starts tonvale-cli with Args in the test folder, waits until the Python
  // condition Until holds (over err, its standard error so far, or the
  // folder), runs the Python statement Then, and gives the exit status, a
  // line break and the whole standard error.
  std::string RunUntil(const std::vector<std::string>& Args, const std::string& Until, const std::string& Then) {
    std::string args = "['" TONVALE_CLI "'";
    for (const auto& a : Args) args += ", '" + a + "'";
    return Python(
        "import os, select, signal, subprocess, time\n"
        "os.chdir('" +
        Dir.Path().string() +
        "')\n"
        "env = dict(os.environ, XDG_CONFIG_HOME='" +
        Dir.File("cfg") +
        "')\n"
        "p = subprocess.Popen(" +
        args +
        "], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)\n"
        "err = b''\n"
        "end = time.time() + 60\n"
        "while not (" +
        Until +
        ") and time.time() < end:\n"
        "    if select.select([p.stderr], [], [], 0.01)[0]:\n"
        "        chunk = os.read(p.stderr.fileno(), 4096)\n"
        "        if not chunk: break\n"
        "        err += chunk\n" +
        Then +
        "\n"
        "err += p.stderr.read()\n"
        "print(p.wait(timeout=120))\n"
        "print(err.decode())\n");
  }

  std::string Probe(const std::string& File, const std::string& Entries) {
    return Shell("ffprobe -v error -show_entries " + Entries + " -of csv=p=0 " + Quote(File));
  }
};

// As root, a prefix that gives up reading what the file modes forbid.
std::string AsUser() { return ::geteuid() == 0 ? "setpriv --bounding-set=-dac_override,-dac_read_search " : ""; }

}  // namespace

TEST(Cli, AllSixModesInOneGo) {
  Cli c;
  MakeAudio(c.Path("pcm.wav"), 1.5, 44100, 2, "-c:a pcm_s16le");
  MakeAudio(c.Path("ima.wav"), 1.5, 22050, 1, "-c:a adpcm_ima_wav");
  MakeAudio(c.Path("ms.wav"), 1.5, 22050, 2, "-c:a adpcm_ms");
  MakeAudio(c.Path("l3.wav"), 1.5, 44100, 2, "-c:a libmp3lame -f wav");
  MakeAudio(c.Path("song.mp3"), 1.5, 44100, 2, "-c:a libmp3lame -id3v2_version 3 -metadata title=Song");
  MakeAudio(c.Path("clip.wma"), 1.5, 44100, 2, "-c:a wmav2 -metadata Title=Clip -metadata Author=Who");

  Result mp3 = c.Run("--to mp3 -o out -j 1 pcm.wav ima.wav ms.wav l3.wav clip.wma");
  EXPECT_EQ(mp3.Status, 0) << mp3.Err;
  EXPECT_EQ(mp3.Out, "out/pcm.mp3\nout/ima.mp3\nout/ms.mp3\nout/l3.mp3\nout/clip.mp3\n");
  EXPECT_NE(mp3.Err.find("5 converted, 0 skipped, 0 failed"), std::string::npos) << mp3.Err;
  for (std::string name : {"pcm", "ima", "ms", "l3", "clip"}) {
    const std::string out = c.Out + "/" + name + ".mp3";
    EXPECT_EQ(c.Probe(out, "stream=codec_name"), "mp3\n") << name;
    const std::string src = c.Path(name + (name == "clip" ? ".wma" : ".wav"));
    auto source = FfmpegDecode(src, ""), decoded = FfmpegDecode(out, "");
    if (name == "ima" || name == "ms") {
      // Mono and 22050 Hz sources: compare at the source's rate and layout.
      const std::string back =
          Shell("ffmpeg -v error -i " + Quote(out) + " -ar 22050 -ac " + (name == "ima" ? "1" : "2") + " -f s16le -");
      decoded = AsSamples({back.begin(), back.end()});
    }
    EXPECT_GT(Correlation(source, decoded), 0.8) << name;
  }
  // The WMA source's own tags went into its MP3's ID3v1 tag.
  EXPECT_EQ(Python("from mutagen.id3 import ID3\nt = ID3('" + c.Out + "/clip.mp3')\nprint(t['TIT2'], t['TPE1'])\n"),
            "Clip Who\n");

  Result wma = c.Run("--to wma -o out pcm.wav song.mp3");
  EXPECT_EQ(wma.Status, 0) << wma.Err;
  EXPECT_EQ(c.Probe(c.Out + "/pcm.wma", "stream=codec_name,sample_rate,channels,bit_rate"), "wmav2,44100,2,128000\n");
  EXPECT_EQ(c.Probe(c.Out + "/song.wma", "stream=codec_name"), "wmav2\n");

  Result wav = c.Run("--to wav -o out song.mp3 clip.wma");
  EXPECT_EQ(wav.Status, 0) << wav.Err;
  EXPECT_EQ(c.Probe(c.Out + "/song.wav", "stream=codec_name,sample_rate,channels"), "pcm_s16le,44100,2\n");
  auto song = FfmpegDecode(c.Path("song.mp3")), songWav = FfmpegDecode(c.Out + "/song.wav");
  EXPECT_NEAR(double(songWav.size()), double(song.size()), 0.006 * 44100 * 2);
  EXPECT_GT(Correlation(song, songWav), 0.99);
  auto clip = FfmpegDecode(c.Path("clip.wma")), clipWav = FfmpegDecode(c.Out + "/clip.wav");
  EXPECT_GT(Correlation(clip, clipWav), 0.99);
}

TEST(Cli, TagOptionsReachBothKindsOfOutput) {
  Cli c;
  MakeAudio(c.Path("one.wav"), 0.5, 44100, 2, "-c:a pcm_s16le");
  Result r = c.Run(
      "--to mp3 -o out --title 'The Title' --artist Me --album Al --year 1999 --genre 'hip-hop' "
      "--track 4 --comment Note one.wav");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Python("from mutagen.id3 import ID3\nt = ID3('" + c.Out +
                   "/one.mp3')\n"
                   "print(t['TIT2'], t['TPE1'], t['TALB'], t['TDRC'], t['TRCK'], t['TCON'].genres[0], "
                   "t.getall('COMM')[0], sep='|')\n"),
            "The Title|Me|Al|1999|4|Hip-Hop|Note\n");
  r = c.Run("--to wma -o out --artist Me --genre rock one.wav");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Python("from mutagen.asf import ASF\nt = ASF('" + c.Out +
                   "/one.wma')\n"
                   "print(sorted(k for k, v in t.items() if any(str(x) for x in v)), t['Title'][0], "
                   "t['Author'][0], t['WM/Genre'][0])\n"),
            "['Author', 'Title', 'WM/Genre'] one Me Rock\n");
}

TEST(Cli, ExistingOutputsAndTheQuestion) {
  Cli c;
  MakeAudio(c.Path("a.wav"), 0.3, 44100, 2, "-c:a pcm_s16le");
  WriteText(c.Out + "/a.mp3", "old");
  Result skipped = c.Run("--to mp3 -o out a.wav");
  EXPECT_EQ(skipped.Status, 0);
  EXPECT_EQ(skipped.Out, "") << "no terminal to ask on: skipped";
  EXPECT_NE(skipped.Err.find("0 converted, 1 skipped, 0 failed"), std::string::npos);
  EXPECT_EQ(c.Run("--to mp3 -o out -n a.wav").Out, "");
  EXPECT_EQ(ReadBytes(c.Out + "/a.mp3").size(), 3u);
  // Asked on a terminal: "n" keeps the file, "y" replaces it.
  const std::string script =
      "script -qec \"env XDG_CONFIG_HOME=" + c.Path("cfg") + " '" + TONVALE_CLI + "' --to mp3 -o out a.wav\" /dev/null";
  std::string asked = Shell("cd " + Quote(c.Dir.Path().string()) + " && printf 'n\\n' | " + script);
  EXPECT_NE(asked.find("out/a.mp3 exists. Replace it? [y/N]"), std::string::npos) << asked;
  EXPECT_EQ(ReadBytes(c.Out + "/a.mp3").size(), 3u);
  Shell("cd " + Quote(c.Dir.Path().string()) + " && printf '\\n' | " + script);  // Enter alone: No
  EXPECT_EQ(ReadBytes(c.Out + "/a.mp3").size(), 3u);
  Shell("cd " + Quote(c.Dir.Path().string()) + " && printf 'y\\n' | " + script);
  EXPECT_GT(ReadBytes(c.Out + "/a.mp3").size(), 1000u);
  WriteText(c.Out + "/a.mp3", "old");
  Result replaced = c.Run("--to mp3 -o out -y a.wav");
  EXPECT_EQ(replaced.Out, "out/a.mp3\n");
  EXPECT_GT(ReadBytes(c.Out + "/a.mp3").size(), 1000u);
}

TEST(Cli, NamesFoldersAndFailures) {
  Cli c;
  MakeAudio(c.Path("song.final.wav"), 0.3, 44100, 2, "-c:a pcm_s16le");
  fs::create_directories(c.Path("sub"));
  MakeAudio(c.Path("sub/Other.WAV"), 0.3, 44100, 2, "-c:a pcm_s16le");
  WriteText(c.Path("broken.wav"), std::string(3000, 'x'));
  Result r = c.Run("--to mp3 --same-folder -q -j 1 broken.wav song.final.wav sub/Other.WAV notes.txt");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out, "song.final.mp3\nsub/Other.mp3\n");
  EXPECT_NE(r.Err.find("2 converted, 0 skipped, 2 failed"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("broken.wav -> broken.mp3: Cannot read"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("notes.txt: "), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(c.Path("broken.mp3")));
  EXPECT_EQ(r.Err.find("converting"), std::string::npos) << "-q keeps progress quiet";
}

TEST(Cli, UsageErrorsAndSettings) {
  Cli c;
  MakeAudio(c.Path("a.wav"), 0.3, 44100, 2, "-c:a pcm_s16le");
  MakeAudio(c.Path("b.wav"), 0.3, 44100, 2, "-c:a pcm_s16le");
  EXPECT_EQ(c.Run("--to mp3 --title T a.wav b.wav").Status, 2);
  EXPECT_EQ(c.Run("--to mp3 --genre 'Not A Genre' a.wav").Status, 2);
  EXPECT_EQ(c.Run("--to ogg a.wav").Status, 2);
  EXPECT_EQ(c.Run("--to mp3 --bitrate 100 a.wav").Status, 2);
  EXPECT_EQ(c.Run("a.wav").Status, 2);
  Result missing = c.Run("--to mp3 -o nowhere a.wav");
  EXPECT_EQ(missing.Status, 2);
  EXPECT_EQ(missing.Err,
            "tonvale-cli: nowhere: the output folder does not exist.Please check the output directory setting.\n");
  // Settings come from options.ini and the options override them.
  fs::create_directories(c.Path("cfg/Quarnel/Tonvale"));
  const std::string ini =
      "[CommonOptions]\nOutputFolder=" + c.Out + "\n[Mp3Options]\nConstantBitRate=8\nStereoMode=0\n";
  WriteText(c.Path("cfg/Quarnel/Tonvale/options.ini"), ini);
  ASSERT_EQ(c.Run("--to mp3 a.wav").Status, 0);
  EXPECT_EQ(c.Probe(c.Out + "/a.mp3", "stream=bit_rate"), "320000\n");
  ASSERT_EQ(c.Run("--to mp3 -y --bitrate 64 b.wav").Status, 0);
  EXPECT_EQ(c.Probe(c.Out + "/b.mp3", "stream=bit_rate"), "64000\n");
  auto saved = ReadBytes(c.Path("cfg/Quarnel/Tonvale/options.ini"));
  EXPECT_EQ(std::string(saved.begin(), saved.end()), ini) << "the command line never saves";
  Result list = c.Run("--list-wma-formats");
  EXPECT_EQ(list.Status, 0);
  EXPECT_NE(list.Out.find("codec 0: Windows Media Audio 2\n"), std::string::npos);
  EXPECT_NE(list.Out.find("   29  128 kbps, 44 kHz, stereo CBR\n"), std::string::npos);
}

// Regressions of the batch's contract: one output path is written once, no
// output replaces a source of the run (also through a link), names never
// reach FFmpeg as addresses, files already in the target format are skipped.
TEST(Cli, OutputsNeverCollideWithEachOtherOrWithSources) {
  Cli c;
  fs::create_directories(c.Path("x"));
  fs::create_directories(c.Path("y"));
  for (const char* name : {"a.wav", "x/b.wav", "y/b.wav", "pipe:1.wav", "file:c.wav", "d.wav"})
    MakeAudio(c.Path(name), 0.3, 44100, 2, "-c:a pcm_s16le");
  MakeAudio(c.Path("a.mp3"), 0.3, 44100, 2, "-c:a libmp3lame");
  const auto d = ReadBytes(c.Path("d.wav"));
  fs::create_symlink(c.Path("d.wav"), c.Out + "/e.wma");
  MakeAudio(c.Path("e.wav"), 0.3, 44100, 2, "-c:a pcm_s16le");

  Result r = c.Run("--to wma -o out -y -j 1 a.wav a.mp3 x/b.wav y/b.wav d.wav e.wav");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out, "out/a.wma\nout/b.wma\nout/d.wma\n");
  EXPECT_NE(r.Err.find("3 converted, 0 skipped, 3 failed"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("a.mp3: its output out/a.wma is already written in this run, from a.wav"), std::string::npos);
  EXPECT_NE(r.Err.find("e.wav: its output out/e.wma would replace d.wav"), std::string::npos) << r.Err;
  EXPECT_EQ(ReadBytes(c.Path("d.wav")), d) << "the source behind the link is untouched";

  WriteText(c.Path("c.wma"), "unrelated");
  r = c.Run("--to wma --same-folder -n -j 1 pipe:1.wav file:c.wav");
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "pipe:1.wma\nfile:c.wma\n") << "nothing but the paths on standard output";
  EXPECT_EQ(c.Probe(c.Path("pipe:1.wma"), "stream=codec_name"), "wmav2\n");
  EXPECT_EQ(ReadBytes(c.Path("c.wma")).size(), 9u);

  r = c.Run("--to wav -o out d.wav");
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Err.find("0 converted, 1 skipped, 0 failed"), std::string::npos) << r.Err;
}

// Regressions: a bad source after a good one is not "converted"; a source
// rate of 1 Hz is refused; tag options hold over each WMA's own tags; a
// source shorter than its header says converts with a warning.
TEST(Cli, SourcesTagsAndShortFiles) {
  Cli c;
  MakeAudio(c.Path("a.mp3"), 0.5, 44100, 2, "-c:a libmp3lame");
  WriteText(c.Path("junk.mp3"), std::string(4000, 'j'));
  Result r = c.Run("--to wav -o out a.mp3 junk.mp3");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out, "out/a.wav\n");
  EXPECT_FALSE(fs::exists(c.Out + "/junk.wav"));

  MakeAudio(c.Path("slow.wav"), 0.5, 8000, 1, "-c:a pcm_s16le");
  auto slow = ReadBytes(c.Path("slow.wav"));
  slow[24] = 1, slow[25] = slow[26] = slow[27] = 0;  // 1 Hz
  WriteBytes(c.Path("slow.wav"), slow);
  r = c.Run("--to wma -o out slow.wav");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("sample rate of 1 Hz"), std::string::npos) << r.Err;

  MakeAudio(c.Path("w1.wma"), 0.5, 44100, 2, "-c:a wmav2 -metadata Title=One -metadata Author=Own");
  MakeAudio(c.Path("w2.wma"), 0.5, 44100, 2, "-c:a wmav2 -metadata Title=Two -metadata Author=Own");
  r = c.Run("--to mp3 -o out --artist X --album Y w1.wma w2.wma");
  ASSERT_EQ(r.Status, 0) << r.Err;
  for (auto [file, title] : {std::pair{"w1", "One"}, {"w2", "Two"}})
    EXPECT_EQ(Python("from mutagen.id3 import ID3\nt = ID3('" + c.Out + "/" + file +
                     ".mp3')\n"
                     "print(t['TIT2'], t['TPE1'], t['TALB'], sep='|')\n"),
              std::string(title) + "|X|Y\n");

  MakeAudio(c.Path("long.wav"), 2, 44100, 2, "-c:a pcm_s16le");
  fs::resize_file(c.Path("long.wav"), 44 + 44100 * 4 / 2);  // a download cut after half a second
  r = c.Run("--to mp3 -o out long.wav");
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Err.find("warning out/long.mp3: the source ended early: 1.5 s of the 2.0 s"), std::string::npos) << r.Err;
}

// Regressions: a full disk (here a file-size limit) fails the file with the
// system's reason and keeps the file that stood there; a tag write cut
// short fails the file instead of reporting it converted.
TEST(Cli, FullDiskFailsTheFileAndKeepsWhatExisted) {
  Cli c;
  MakeAudio(c.Path("a.wav"), 2, 44100, 2, "-c:a pcm_s16le");
  ASSERT_EQ(c.Run("--to mp3 -o out a.wav").Status, 0);
  const auto whole = ReadBytes(c.Out + "/a.mp3");
  const size_t audio = whole.size() - 128;
  auto limited = [&](size_t Bytes, const std::string& Args) {
    return c.Run(Args,
                 "/usr/bin/python3 -c \"import os, resource, signal, sys; "
                 "signal.signal(signal.SIGXFSZ, signal.SIG_IGN); "
                 "resource.setrlimit(resource.RLIMIT_FSIZE, (" +
                     std::to_string(Bytes) + ", " + std::to_string(Bytes) +
                     ")); os.execvp(sys.argv[1], sys.argv[1:])\" ");
  };
  Result r = limited(audio + 60, "--to mp3 -o out -y a.wav");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("Cannot write the ID3v1 tag to out/a.mp3: File too large"), std::string::npos) << r.Err;
  EXPECT_EQ(ReadBytes(c.Out + "/a.mp3"), whole) << "the finished file that stood there stays";
  fs::remove(c.Out + "/a.mp3");
  r = limited(audio + 60, "--to mp3 -o out a.wav");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(ReadBytes(c.Out + "/a.mp3").size(), audio) << "no stray tag bytes: the audio stays";

  WriteText(c.Out + "/a.wma", "old");
  r = limited(20000, "--to wma -o out -y a.wav");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("File too large"), std::string::npos) << r.Err;
  EXPECT_EQ(ReadBytes(c.Out + "/a.wma").size(), 3u);
  for (const auto& e : fs::directory_iterator(c.Out)) EXPECT_NE(e.path().filename().string()[0], '.');
}

// Regressions: SIGINT and SIGTERM stop the running files (one, or two with
// -j 2) and the batch, list what was not started and end with 130 or 143;
// SIGINT at the overwrite question is not swallowed.
TEST(Cli, SignalsStopTheRun) {
  Cli c;
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) MakeAudio(c.Path(name), 100, 44100, 2, "-c:a pcm_s16le");
  const struct {
    const char* Signal;
    int Status;
    const char* Jobs;
    const char* Summary;
  } cases[] = {{"TERM", 143, "1", "0 converted, 0 skipped, 1 failed, 2 not started"},
               {"INT", 130, "2", "0 converted, 0 skipped, 2 failed, 1 not started"},
               {"HUP", 129, "1", "0 converted, 0 skipped, 1 failed, 2 not started"}};
  // The signal goes once every file meant has said it is converting, never
  // after a fixed time, so a loaded machine sees the same run.
  for (const auto& k : cases) {
    const std::string started =
        std::string(k.Jobs) == "1" ? "[b'converting a.wav']" : "[b'converting a.wav', b'converting b.wav']";
    const std::string out =
        c.RunUntil({"--to", "mp3", "-o", "out", "-y", "-j", k.Jobs, "a.wav", "b.wav", "c.wav"},
                   "all(w in err for w in " + started + ")", std::string("p.send_signal(signal.SIG") + k.Signal + ")");
    EXPECT_EQ(out.substr(0, 4), std::to_string(k.Status) + "\n") << out;
    EXPECT_NE(out.find(k.Summary), std::string::npos) << out;
    EXPECT_NE(out.find("c.wav: not started"), std::string::npos) << out;
  }
  // At the question, on a terminal.
  const std::string out = Python(
      "import os, pty, select, signal, time\n"
      "pid, fd = pty.fork()\n"
      "if pid == 0:\n"
      "    os.chdir('" +
      c.Dir.Path().string() +
      "')\n"
      "    os.environ['XDG_CONFIG_HOME'] = '" +
      c.Path("cfg") +
      "'\n"
      "    os.execv('" TONVALE_CLI
      "', ['tonvale-cli', '--to', 'mp3', '-o', 'out', '-j', '1', 'a.wav', 'b.wav'])\n"
      "def read_until(done, seconds):\n"
      "    global text\n"
      "    end = time.time() + seconds\n"
      "    while not done() and time.time() < end:\n"
      "        if select.select([fd], [], [], 0.1)[0]:\n"
      "            try:\n"
      "                chunk = os.read(fd, 1024)\n"
      "            except OSError:\n"
      "                return\n"
      "            if not chunk: return\n"
      "            text += chunk\n"
      "text = b''\n"
      "read_until(lambda: b'Replace it?' in text, 30)\n"
      "os.kill(pid, signal.SIGINT)\n"
      "read_until(lambda: b'not started' in text, 30)\n"
      "os.kill(pid, signal.SIGKILL) if b'not started' not in text else None\n"
      "print(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))\n"
      "print(text.decode())\n");
  EXPECT_EQ(out.substr(0, 4), "130\n") << out;
  EXPECT_NE(out.find("0 converted, 0 skipped, 0 failed, 2 not started"), std::string::npos) << out;
}

namespace {

// The amplitude of Frequency in one channel of interleaved stereo (Goertzel).
double ToneLevel(const std::vector<int16_t>& Stereo, int Channel, double Frequency, int Rate) {
  const double w = 2 * M_PI * Frequency / Rate, c = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  const size_t frames = Stereo.size() / 2;
  for (size_t i = 0; i < frames; ++i) {
    const double s = Stereo[2 * i + Channel] + c * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  return 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / static_cast<double>(frames);
}

// ffmpeg's decode of Path as 16-bit stereo (a larger source down-mixed).
std::vector<int16_t> Stereo16(const std::string& Path) {
  const std::string out = Shell("ffmpeg -v error -i " + Quote(Path) + " -ac 2 -f s16le -");
  return AsSamples({out.begin(), out.end()});
}

double RmsDb(const std::vector<int16_t>& S) {
  double sum = 0;
  for (int16_t v : S) sum += double(v) * v;
  return 10 * std::log10(sum / static_cast<double>(std::max<size_t>(S.size(), 1)) + 1e-9);
}

}  // namespace

// Every WAV today's tools write converts to MP3 and WMA like ffmpeg's own
// down-mix of the same source: 24- and 32-bit PCM, 32- and 64-bit float,
// extensible 5.1 and 7.1, RF64, and a streaming-style size of 0xFFFFFFFF.
TEST(Cli, EveryKindOfWavConverts) {
  Cli c;
  const struct {
    const char* Name;
    int Channels;
    const char* Codec;
  } kinds[] = {{"s24", 2, "-c:a pcm_s24le"},
               {"s32", 2, "-c:a pcm_s32le"},
               {"f32", 2, "-c:a pcm_f32le"},
               {"f64", 1, "-c:a pcm_f64le"},
               {"surround51", 6, "-c:a pcm_s16le"},
               {"surround71", 8, "-c:a pcm_s24le"},
               {"rf64", 2, "-c:a pcm_s16le -rf64 always"},
               {"streamed", 2, "-c:a pcm_s16le"}};
  std::string names;
  for (const auto& k : kinds) {
    MakeAudio(c.Path(std::string(k.Name) + ".wav"), 2, 44100, k.Channels, k.Codec);
    names += std::string(" ") + k.Name + ".wav";
  }
  auto streamed = ReadBytes(c.Path("streamed.wav"));
  const auto data = std::search(streamed.begin(), streamed.end(), std::begin("data"), std::end("data") - 1);
  ASSERT_NE(data, streamed.end());
  std::fill(data + 4, data + 8, 0xFF);
  std::fill(streamed.begin() + 4, streamed.begin() + 8, 0xFF);
  WriteBytes(c.Path("streamed.wav"), streamed);

  for (const char* target : {"mp3", "wma"}) {
    Result r = c.Run(std::string("--to ") + target + " -o out -q" + names);
    ASSERT_EQ(r.Status, 0) << r.Err;
    for (const auto& k : kinds) {
      const std::string out = c.Out + "/" + k.Name + "." + target;
      const auto theirs = Stereo16(c.Path(std::string(k.Name) + ".wav"));
      const auto ours = Stereo16(out);
      EXPECT_GT(Correlation(theirs, ours), 0.99) << k.Name << " to " << target;
      EXPECT_NEAR(RmsDb(ours), RmsDb(theirs), 0.5) << k.Name << " to " << target;
      EXPECT_NEAR(double(ours.size()), double(theirs.size()), 0.03 * static_cast<double>(theirs.size()))
          << k.Name << " to " << target;
    }
  }
}

// A 5.1 source with one tone per channel: the left side holds front left at
// full level, centre and surround left at -3 dB, no LFE and nothing of the
// right side. Float peaks at +2.0 are clipped, never wrapped.
TEST(Cli, SurroundDownMixAndFloatClipping) {
  Cli c;
  Shell(
      "ffmpeg -v error -y -f lavfi -i \"aevalsrc=exprs=0.2*sin(2*PI*300*t)|0.2*sin(2*PI*500*t)|"
      "0.2*sin(2*PI*700*t)|0.2*sin(2*PI*900*t)|0.2*sin(2*PI*1100*t)|0.2*sin(2*PI*1300*t):c=5.1:s=44100:d=2\" "
      "-c:a pcm_s16le " +
      Quote(c.Path("tones.wav")));
  // With a NaN, an infinity and a sample of -16411 among them, which failed
  // the WMA encoder with what read like a disk error.
  Shell(
      "ffmpeg -v error -y -f lavfi -i \"aevalsrc=exprs='if(eq(n\\,9)\\,0/0\\,if(eq(n\\,99)\\,1/0\\,if(eq(n\\,999)"
      "\\,-16411\\,2.0*sin(2*PI*100*t))))':s=44100:d=1\" -c:a pcm_f32le " +
      Quote(c.Path("loud.wav")));
  ASSERT_EQ(c.Run("--to mp3 -o out -q tones.wav").Status, 0);
  for (const char* target : {"mp3", "wma"}) {
    Result r = c.Run(std::string("--to ") + target + " -o out loud.wav");
    EXPECT_NE(r.Err.find(": samples beyond full scale were clipped\n"), std::string::npos) << r.Err;
    EXPECT_GT(Correlation(Stereo16(c.Out + "/loud.mp3"), Stereo16(c.Out + "/loud." + target)), 0.95) << target;
  }
  const auto mix = Stereo16(c.Out + "/tones.mp3");
  const double front = ToneLevel(mix, 0, 300, 44100);
  auto db = [&](double Level) { return 20 * std::log10(Level / front); };
  EXPECT_NEAR(db(ToneLevel(mix, 0, 700, 44100)), -3.0, 0.5) << "centre";
  EXPECT_NEAR(db(ToneLevel(mix, 0, 1100, 44100)), -3.0, 0.5) << "surround left";
  EXPECT_LT(db(ToneLevel(mix, 0, 900, 44100)), -30) << "LFE";
  EXPECT_LT(db(ToneLevel(mix, 0, 500, 44100)), -30) << "front right";
  EXPECT_NEAR(db(ToneLevel(mix, 1, 500, 44100)), 0.0, 0.5) << "front right on the right";

  const auto loud = Stereo16(c.Out + "/loud.mp3");
  std::vector<int16_t> clipped(loud.size());
  for (size_t i = 0; i < clipped.size(); ++i)
    clipped[i] = static_cast<int16_t>(
        std::clamp(2.0 * std::sin(2 * M_PI * 100 * static_cast<double>(i / 2) / 44100.0), -1.0, 1.0) * 32767);
  EXPECT_GT(Correlation(clipped, loud), 0.95) << "a wrapped signal would not follow the clipped one";
}

// Several files at once give the same files, summary and status as one at a
// time; a failing file does not disturb the others.
TEST(Cli, ParallelBatchesMatchOneAtATime) {
  Cli c;
  std::string wavs, mp3s;
  for (int i = 0; i < 4; ++i) {
    MakeAudio(c.Path("w" + std::to_string(i) + ".wav"), 1 + i * 0.3, 44100, 2, "-c:a pcm_s16le");
    MakeAudio(c.Path("m" + std::to_string(i) + ".mp3"), 1, 44100, 2, "-c:a libmp3lame");
    wavs += " w" + std::to_string(i) + ".wav";
    mp3s += " m" + std::to_string(i) + ".mp3";
  }
  WriteText(c.Path("bad.wav"), std::string(5000, 'b'));
  const std::pair<const char*, std::string> runs[] = {{"mp3", wavs + " bad.wav"}, {"wma", wavs}, {"wav", mp3s}};
  for (const auto& [target, files] : runs) {
    std::map<std::string, std::vector<uint8_t>> first;
    std::string summary;
    for (const char* jobs : {"1", "2"}) {
      fs::remove_all(c.Out);
      fs::create_directories(c.Out);
      fs::create_directories(c.Out);
      Result r = c.Run(std::string("--to ") + target + " -o out -j " + jobs + files);
      EXPECT_EQ(r.Status, files.find("bad") != std::string::npos ? 1 : 0) << r.Err;
      std::map<std::string, std::vector<uint8_t>> outputs;
      for (const auto& e : fs::directory_iterator(c.Out)) outputs[e.path().filename()] = ReadBytes(e.path());
      if (first.empty()) {
        first = outputs;
        summary = r.Err.substr(r.Err.find(" converted") - 1, 40);
        continue;
      }
      EXPECT_EQ(outputs, first) << target << ": -j 2 wrote other files than -j 1";
      EXPECT_EQ(r.Err.substr(r.Err.find(" converted") - 1, 40), summary) << target;
    }
    EXPECT_EQ(first.size(), 4u) << target;
  }
}

// Folders with -r keep their tree under -o, skip hidden entries and do not
// follow links to folders; --json describes the run as the files on disk
// show it; --dry-run writes nothing.
TEST(Cli, FoldersJsonAndDryRun) {
  Cli c;
  fs::create_directories(c.Path("Music/Album/Disc 2"));
  fs::create_directories(c.Path("Music/.hidden"));
  fs::create_directories(c.Path("elsewhere"));
  MakeAudio(c.Path("Music/Album/track.wav"), 0.5, 44100, 2, "-c:a pcm_s16le");
  MakeAudio(c.Path("Music/Album/Disc 2/song.wav"), 0.5, 44100, 2, "-c:a pcm_s16le");
  MakeAudio(c.Path("Music/top.wav"), 0.5, 44100, 2, "-c:a pcm_s16le");
  MakeAudio(c.Path("Music/.hidden/secret.wav"), 0.5, 44100, 2, "-c:a pcm_s16le");
  MakeAudio(c.Path("elsewhere/linked.wav"), 0.5, 44100, 2, "-c:a pcm_s16le");
  WriteText(c.Path("Music/notes.txt"), "not audio");
  fs::create_directory_symlink(c.Path("elsewhere"), c.Path("Music/link"));

  auto listing = [&] {
    std::string all;
    for (const char* top : {"Music", "elsewhere", "out"})
      for (const auto& e : fs::recursive_directory_iterator(c.Path(top)))
        all += e.path().string() + (e.is_regular_file() ? std::to_string(e.file_size()) : "") + "\n";
    return all;
  };
  const std::string before = listing();
  Result dry = c.Run("--to mp3 -o out -r --dry-run --json Music");
  EXPECT_EQ(dry.Status, 0) << dry.Err;
  EXPECT_EQ(listing(), before) << "a dry run writes nothing";
  EXPECT_EQ(Python("import json\nr = json.loads('''" + dry.Out +
                   "''')\n"
                   "print(sorted((f['output'], f['mode'], f['exists']) for f in r['files']))\n"),
            "[('out/Album/Disc 2/song.mp3', 'wav-to-mp3', False), ('out/Album/track.mp3', 'wav-to-mp3', False), "
            "('out/top.mp3', 'wav-to-mp3', False)]\n");

  Result r = c.Run("--to mp3 -o out -r --json Music");
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::string checked =
      Python("import json, os\nr = json.loads('''" + r.Out +
             "''')\n"
             "assert r['totals']['converted'] == 3 and r['totals']['failed'] == 0, r['totals']\n"
             "for f in r['files']:\n"
             "    assert f['outcome'] == 'converted', f\n"
             "    assert os.path.getsize('" +
             c.Dir.Path().string() +
             "/' + f['output']) == f['bytes'], f\n"
             "    assert f['seconds'] > 0, f\n"
             "print(sorted(f['output'] for f in r['files']))\n");
  EXPECT_EQ(checked, "['out/Album/Disc 2/song.mp3', 'out/Album/track.mp3', 'out/top.mp3']\n");
  EXPECT_FALSE(fs::exists(c.Out + "/link")) << "a link to a folder is not followed";
  EXPECT_FALSE(fs::exists(c.Out + "/.hidden"));

  Result flat = c.Run("--to mp3 -o out Music");
  EXPECT_EQ(flat.Status, 1);
  EXPECT_NE(flat.Err.find("Music: is a folder: give -r"), std::string::npos) << flat.Err;
}

// MP3 outputs carry an ID3v2.4 tag with every value whole, before the audio,
// beside the ID3v1 tag at the end; the VBR header frame is found after it.
TEST(Cli, Id3v2TagKeepsWholeValuesBesideId3v1) {
  Cli c;
  MakeAudio(c.Path("a.wav"), 3, 44100, 2, "-c:a pcm_s16le");
  const std::string title = "Symphonie fantastique, Op. 14: V. Songe d'une nuit du sabbat";
  Result r = c.Run("--to mp3 -o out --title \"" + title +
                   "\" --artist '坂本龍一' --album 'Épisode' --year 1830 "
                   "--track 5 --genre classical --comment 'Très bien' a.wav");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Python("from mutagen.id3 import ID3\nt = ID3('" + c.Out +
                   "/a.mp3')\n"
                   "c = t.getall('COMM')[0]\n"
                   "print(t.version, t['TIT2'], t['TPE1'], t['TALB'], t['TDRC'], t['TRCK'], t['TCON'], c.lang, "
                   "repr(c.desc), c, sep='|')\n"),
            "(2, 4, 0)|" + title + "|坂本龍一|Épisode|1830|5|Classical|eng|''|Très bien\n");
  const auto bytes = ReadBytes(c.Out + "/a.mp3");
  ASSERT_GT(bytes.size(), 128u);
  EXPECT_EQ(std::string(bytes.end() - 128, bytes.end() - 95), "TAG" + title.substr(0, 30));
  EXPECT_EQ(c.Probe(c.Out + "/a.mp3", "format_tags=title"), "\"" + title + "\"\n");  // quoted for its comma

  // The duration ffprobe finds is the same with the tag in front as without
  // it, for constant and variable bit rates (the VBR header frame read).
  for (const std::string rate : {"", "--vbr --vbr-header "}) {
    ASSERT_EQ(c.Run("-y --to mp3 -o out " + rate + "a.wav").Status, 0);
    const std::string tagged = c.Probe(c.Out + "/a.mp3", "format=duration");
    ASSERT_EQ(c.Run("-y --to mp3 -o out --no-id3v2 " + rate + "a.wav").Status, 0);
    EXPECT_EQ(ReadBytes(c.Out + "/a.mp3")[0], 0xFF) << "no ID3v2 tag";
    EXPECT_EQ(tagged, c.Probe(c.Out + "/a.mp3", "format=duration")) << rate;
    EXPECT_NEAR(std::stod(tagged), 3.0, 0.06) << rate;
  }

  // A disk that fills while the tag is written keeps the existing output.
  const auto before = ReadBytes(c.Out + "/a.mp3");
  r = c.Run("-y --to mp3 -o out --comment '" + std::string(4000, 'c') + "' a.wav",
            "/usr/bin/python3 -c \"import os, resource, signal, sys; signal.signal(signal.SIGXFSZ, signal.SIG_IGN); "
            "resource.setrlimit(resource.RLIMIT_FSIZE, (1000, 1000)); os.execvp(sys.argv[1], sys.argv[1:])\" ");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("File too large"), std::string::npos) << r.Err;
  EXPECT_EQ(ReadBytes(c.Out + "/a.mp3"), before);
  for (const auto& e : fs::directory_iterator(c.Out)) EXPECT_NE(e.path().filename().string()[0], '.');
}

// A round trip WMA -> MP3 -> WMA keeps every value whole (a comment kept in
// "Copyright" by older writers comes back as the description); an ID3v1
// tag's letters are read as Latin-1 (it gave U+FFFD).
TEST(Cli, TagsSurviveARoundTripAndId3v1ReadsAsLatin1) {
  Cli c;
  fs::create_directories(c.Path("mp3"));
  const std::string title = "Symphonie fantastique, Op. 14: V. Songe d'une nuit du sabbat";
  Shell("ffmpeg -v error -y -f lavfi -i sine=d=1 -ac 2 -c:a wmav2 -metadata title=" + Quote(title) +
        " -metadata artist=坂本龍一 -metadata album=" + Quote("Épisode, an album of more than thirty letters") +
        " -metadata date=1830 -metadata track=12 -metadata genre=Classical -metadata copyright=" +
        Quote("Très bien, a comment longer than thirty letters") + " " + Quote(c.Path("s.wma")));
  ASSERT_EQ(c.Run("--to mp3 -o mp3 s.wma").Status, 0);
  ASSERT_EQ(c.Run("--to wma -o out mp3/s.mp3").Status, 0);
  const std::string read =
      "from mutagen.asf import ASF\nfor p in ('s.wma', 'out/s.wma'):\n"
      "    t = ASF('" +
      c.Dir.Path().string() +
      "/' + p)\n"
      "    g = lambda *names: next(str(t[n][0]) for n in names if n in t)\n"
      "    print(g('Title'), g('Author'), g('WM/AlbumTitle'), g('WM/Year', 'date'), g('WM/Genre'), "
      "g('Description', 'Copyright'), g('WM/TrackNumber', 'WM/Track'), sep='|')\n";
  const std::string both = Python(read);
  const size_t line = both.find('\n');
  ASSERT_NE(line, std::string::npos) << both;
  EXPECT_EQ(both.substr(0, line + 1), both.substr(line + 1)) << both;
  EXPECT_NE(both.find(title + "|坂本龍一|Épisode, an album"), std::string::npos) << both;
  EXPECT_EQ(c.Probe(c.Out + "/s.wma", "format_tags=artist"), "坂本龍一\n");

  ASSERT_EQ(c.Run("-y --to mp3 -o mp3 --no-id3v2 --album Épisode --comment Très s.wma").Status, 0);
  ASSERT_EQ(c.Run("-y --to wma -o out mp3/s.mp3").Status, 0);
  EXPECT_EQ(Python("from mutagen.asf import ASF\nt = ASF('" + c.Out +
                   "/s.wma')\n"
                   "print(t['WM/AlbumTitle'][0], t['Description'][0])\n"),
            "Épisode Très\n");
}

// The tag report: one warning line per file that lost something of its tags
// to ID3v1, listed in --json; nothing for a file that lost nothing.
TEST(Cli, TagReportTellsWhatId3v1CouldNotHold) {
  Cli c;
  MakeAudio(c.Path("a.wav"), 0.3, 44100, 2, "-c:a pcm_s16le");
  Shell("ffmpeg -v error -y -i " + Quote(c.Path("a.wav")) + " -c:a wmav2 -metadata genre=Synthwave " +
        Quote(c.Path("g.wma")));
  const std::string title40 = std::string(40, 't');
  const struct {
    std::string Args, Warning;
  } cases[] = {
      {"--title " + title40 + " a.wav", "ID3v1 title cut to 30 characters; the ID3v2 tag keeps it whole"},
      {"--artist 坂本龍一 --album " + std::string(31, 'b') + " a.wav",
       "ID3v1 album cut to 30 characters, letters outside Latin-1 replaced in the artist; the ID3v2 tag keeps them "
       "whole"},
      {"--track 300 a.wav", "ID3v1 track 300 outside 0 to 255 left out; the ID3v2 tag keeps it whole"},
      {"--no-id3v2 --year 19999 a.wav", "ID3v1 year cut to 4 characters"},
      {"g.wma", "ID3v1 genre \"Synthwave\" not in its list; the ID3v2 tag keeps it whole"},
      {"--title " + std::string(30, 't') + " a.wav", ""},
  };
  for (const auto& k : cases) {
    Result r = c.Run("-y --json --to mp3 -o out " + k.Args);
    ASSERT_EQ(r.Status, 0) << k.Args << r.Err;
    const std::string out = k.Args.find("g.wma") != std::string::npos ? "out/g.mp3" : "out/a.mp3";
    const size_t at = r.Err.find("warning " + out + ": ");
    if (k.Warning.empty()) {
      EXPECT_EQ(at, std::string::npos) << r.Err;
      continue;
    }
    EXPECT_NE(r.Err.find("warning " + out + ": " + k.Warning + "\n"), std::string::npos) << k.Args << "\n" << r.Err;
    EXPECT_EQ(Python("import json\nprint(json.loads(open('" + c.Dir.File("stdout.txt") +
                     "').read())['files'][0]['warnings'][0])\n"),
              k.Warning + "\n");
  }
  // The ID3v2 tag keeps the name of a genre that the list has not.
  EXPECT_EQ(Python("from mutagen.id3 import ID3\nprint(ID3('" + c.Out + "/g.mp3')['TCON'])\n"), "Synthwave\n");
}

// Regressions: codec and format numbers outside the lists failed every file
// alike; contradictory options ran; --dry-run made the settings folder; a
// closed standard output or a file-size limit killed the process, leaving
// its hidden files behind.
TEST(Cli, OptionsFolderAndEndsOfTheRun) {
  Cli c;
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) MakeAudio(c.Path(name), 0.5, 44100, 2, "-c:a pcm_s16le");
  WriteText(c.Path("afile"), "x");
  const struct {
    std::string Args, Said;
  } usage[] = {
      {"--to wma -o out --wma-codec 7 a.wav", "--wma-codec 7 is not one of 0 to 1"},
      {"--to wma -o out --wma-format 9999 a.wav b.wav", "--wma-format 9999 is not one of codec 0's formats, 0 to 167"},
      {"--to mp3 -o out --vbr-min 256 --vbr-max 128 a.wav", "--vbr-min 256 is above --vbr-max 128"},
      {"--to mp3 -o out --same-folder a.wav", "--same-folder and -o exclude each other"},
      {"--to mp3 -o afile a.wav", "afile: not a folder"}};
  for (const auto& u : usage) {
    Result r = c.Run(u.Args);
    EXPECT_EQ(r.Status, 2) << u.Args;
    EXPECT_NE(r.Err.find(u.Said), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("converting"), std::string::npos) << r.Err;
  }
  Result version = c.Run("--version");
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out.rfind("tonvale-cli ", 0), 0u) << version.Out;
  EXPECT_NE(version.Out.find("(build "), std::string::npos) << version.Out;

  // A dry run on a fresh configuration writes nothing at all.
  fs::remove_all(c.Path("cfg"));
  Result dry = c.Run("--to mp3 --dry-run a.wav");
  EXPECT_EQ(dry.Status, 0) << dry.Err;
  EXPECT_FALSE(fs::exists(c.Path("cfg"))) << "no settings folder made";
  // Stored numbers out of range: one message for the run.
  fs::create_directories(c.Path("cfg/Quarnel/Tonvale"));
  WriteText(c.Path("cfg/Quarnel/Tonvale/options.ini"), "[WMAOptions]\nFormatIndex=9999\n");
  Result stored = c.Run("--to wma -o out a.wav b.wav");
  EXPECT_EQ(stored.Status, 2);
  EXPECT_NE(stored.Err.find("the stored WMA format 9999 is not one of"), std::string::npos) << stored.Err;
  fs::remove_all(c.Path("cfg"));

  auto noTemporaries = [&] {
    for (const auto& e : fs::directory_iterator(c.Out))
      EXPECT_EQ(e.path().filename().string().find(".tonvale-"), std::string::npos) << e.path();
  };
  // A reader that goes away stops the run as SIGTERM would, with 141.
  const std::string piped = Shell("cd " + Quote(c.Dir.Path().string()) +
                                  " && env XDG_CONFIG_HOME=" + Quote(c.Path("cfg")) + " bash -c '" + TONVALE_CLI +
                                  " -q -y -j 1 --to mp3 -o out a.wav b.wav c.wav 2>/dev/null | head -1; "
                                  "echo \"${PIPESTATUS[0]}\"'");
  EXPECT_EQ(piped, "out/a.mp3\n141\n");
  noTemporaries();
  // A file-size limit fails the file that passes it and the run goes on.
  WriteText(c.Out + "/a.mp3", "old");
  Result limited = c.Run("-y -j 1 --to mp3 -o out a.wav", "bash -c 'ulimit -f 4; exec \"$0\" \"$@\"' ");
  EXPECT_EQ(limited.Status, 1) << limited.Err;
  EXPECT_NE(limited.Err.find("File too large"), std::string::npos) << limited.Err;
  EXPECT_EQ(ReadBytes(c.Out + "/a.mp3").size(), 3u);
  noTemporaries();
}

// Regressions: output names of 236 to 255 bytes failed with "File name too
// long" (the hidden temporary name is 16 bytes longer); a failure before any
// audio was written left a file of a tag or a header only.
TEST(Cli, LongNamesAndFailuresBeforeAnyAudio) {
  Cli c;
  const std::string name = std::string(250, 'x');
  MakeAudio(c.Path(name + ".wav"), 0.3, 44100, 2, "-c:a pcm_s16le");
  for (const char* target : {"mp3", "wma"}) {
    Result r = c.Run(std::string("-y --to ") + target + " -o out " + name + ".wav");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(fs::exists(c.Out + "/" + name + "." + target)) << target;
  }
  fs::create_directories(c.Path("wavs"));
  ASSERT_EQ(c.Run("-y --to wav -o wavs out/" + name + ".mp3").Status, 0);
  EXPECT_TRUE(fs::exists(c.Path("wavs/" + name + ".wav")));

  // Room for the ID3v2 tag but not for a frame: no file at all.
  MakeAudio(c.Path("a.wav"), 1, 44100, 2, "-c:a pcm_s16le");
  Result r = c.Run("--to mp3 -o out --comment " + std::string(600, 'c') + " a.wav",
                   "bash -c 'ulimit -f 1; exec \"$0\" \"$@\"' ");
  EXPECT_EQ(r.Status, 1) << r.Err;
  EXPECT_FALSE(fs::exists(c.Out + "/a.mp3"));
  for (const auto& e : fs::directory_iterator(c.Out)) EXPECT_NE(e.path().filename().string()[0], '.');
}

// Regression: a file that appeared under an output's name while it
// converted (nobody asked about it: -n, or no terminal) was replaced by the
// final rename; it is kept and the output skipped. -y still replaces it.
TEST(Cli, FileAppearingWhileConvertingIsNotReplaced) {
  Cli c;
  MakeAudio(c.Path("long.wav"), 100, 44100, 2, "-c:a pcm_s16le");
  for (const std::string flag : {"-n", "", "-y"}) {
    fs::remove(c.Out + "/long.mp3");
    std::vector<std::string> args = {"--to", "mp3", "-o", "out", "-j", "1", "long.wav"};
    if (!flag.empty()) args.insert(args.begin(), flag);
    const std::string out = c.RunUntil(args, "any(n.startswith('.long.mp3.tonvale-') for n in os.listdir('out'))",
                                       "open('out/long.mp3', 'w').write('mine')");
    EXPECT_EQ(out.substr(0, 2), "0\n") << out;
    if (flag == "-y") {
      EXPECT_GT(ReadBytes(c.Out + "/long.mp3").size(), 1000u) << out;
    } else {
      EXPECT_EQ(ReadBytes(c.Out + "/long.mp3").size(), 4u) << out;
      EXPECT_NE(out.find("appeared while converting"), std::string::npos) << out;
      EXPECT_NE(out.find("0 converted, 1 skipped, 0 failed"), std::string::npos) << out;
    }
    for (const auto& e : fs::directory_iterator(c.Out)) EXPECT_NE(e.path().filename().string()[0], '.');
  }
}

// Regressions: --json wrote invalid JSON for names that are not UTF-8; a dry
// run listed only the files that would convert. Every file the run lists is
// in the dry run with the outcome the run gives it.
TEST(Cli, JsonIsValidAndTheDryRunListsWhatTheRunDoes) {
  Cli c;
  for (const char* name : {"caf\xe9.wav", "s.wav", "s.WAV"}) MakeAudio(c.Path(name), 0.3, 44100, 2, "-c:a pcm_s16le");
  MakeAudio(c.Path("x.mp3"), 0.3, 44100, 2, "-c:a libmp3lame");
  WriteText(c.Path("notes.txt"), "text");
  const std::string files = " $'caf\\xe9.wav' x.mp3 notes.txt missing.wav s.wav s.WAV";
  const std::string outcomes =
      "import json, sys\nr = json.load(open(sys.argv[1]))\n"
      "print(sorted((f['source'], f['outcome']) for f in r['files']))\n"
      "print([(f['source_bytes'], f.get('output_bytes')) for f in r['files'] if 'source_bytes' in f])\n";
  // (Arguments with $'...' reach the program through bash.)
  const std::string dry = Shell("cd " + Quote(c.Dir.Path().string()) + " && XDG_CONFIG_HOME=" + Quote(c.Path("cfg")) +
                                " bash -c \"'" + TONVALE_CLI + "' --dry-run --json --to mp3 -o out" + files +
                                " > dry.json\" ; /usr/bin/python3 -c " + Quote(outcomes) + " dry.json");
  const std::string real = Shell("cd " + Quote(c.Dir.Path().string()) + " && XDG_CONFIG_HOME=" + Quote(c.Path("cfg")) +
                                 " bash -c \"'" + TONVALE_CLI + "' --json -j 1 --to mp3 -o out" + files +
                                 " > real.json 2>/dev/null\" ; /usr/bin/python3 -c " + Quote(outcomes) + " real.json");
  EXPECT_EQ(dry.substr(0, dry.find('\n')), real.substr(0, real.find('\n'))) << dry << real;
  EXPECT_EQ(real,
            "[('caf\xef\xbf\xbd.wav', 'converted'), ('missing.wav', 'failed'), ('notes.txt', 'failed'), "
            "('s.WAV', 'failed'), ('s.wav', 'converted'), ('x.mp3', 'skipped')]\n"
            "[('636166e92e776176', '6f75742f636166e92e6d7033')]\n");
}

// Regression: an MP3 or WMA cut short converted what was there as a whole
// file, without a word. Where the source states its length (the ASF file
// properties, an MP3's Xing frame) the shortfall is a warning; --strict fails
// the file, keeps the output that stood there and leaves no partial one.
TEST(Cli, CutMp3AndWmaSourcesWarnAndStrictFailsThem) {
  Cli c;
  MakeAudio(c.Path("whole.wma"), 8, 44100, 2, "-c:a wmav2 -b:a 48k");
  MakeAudio(c.Path("whole3.mp3"), 8, 44100, 2, "-c:a libmp3lame -q:a 4");
  const struct {
    std::string Name, From;
    uintmax_t Bytes;
  } cuts[] = {{"cut.wma", "whole.wma", 20000}, {"tiny.wma", "whole.wma", 3000}, {"cut3.mp3", "whole3.mp3", 20000}};
  for (const auto& cut : cuts) {
    fs::copy_file(c.Path(cut.From), c.Path(cut.Name));
    fs::resize_file(c.Path(cut.Name), cut.Bytes);
  }
  Result r = c.Run("--to wav -o out whole.wma whole3.mp3");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err.find("warning"), std::string::npos) << "whole files state what they hold: " << r.Err;
  fs::create_directories(c.Path("plain"));
  r = c.Run("--to wav -o plain cut.wma tiny.wma cut3.mp3");
  EXPECT_EQ(r.Status, 0) << r.Err;
  for (const char* name : {"cut", "tiny", "cut3"})
    EXPECT_NE(r.Err.find("warning plain/" + std::string(name) + ".wav: the source ended early: "), std::string::npos)
        << r.Err;
  EXPECT_NE(r.Err.find("s of the 8.0 s its header states were missing"), std::string::npos) << r.Err;

  // Strict: the cut WMA fails and the file that stood there is kept; the cut
  // MP3 fails without leaving a partial output.
  fs::copy_file(c.Out + "/whole.wav", c.Out + "/cut.wav");
  const auto before = ReadBytes(c.Out + "/cut.wav");
  r = c.Run("--to wav -o out -y --strict cut.wma cut3.mp3 whole.wma");
  EXPECT_EQ(r.Status, 1) << r.Err;
  EXPECT_NE(r.Err.find("failed cut.wma -> out/cut.wav: the source ended early"), std::string::npos) << r.Err;
  EXPECT_EQ(ReadBytes(c.Out + "/cut.wav"), before);
  EXPECT_FALSE(fs::exists(c.Out + "/cut3.wav"));
  EXPECT_NE(r.Err.find("1 converted, 0 skipped, 2 failed"), std::string::npos) << r.Err;

  // A title only ID3v1 would carry, cut: strict fails it; beside an ID3v2
  // tag that keeps it whole, the MP3 converts.
  const std::string title = "--title " + std::string(31, 't');
  r = c.Run("--to mp3 -o out --strict --no-id3v2 " + title + " whole.wma");
  EXPECT_EQ(r.Status, 1) << r.Err;
  EXPECT_NE(r.Err.find("failed whole.wma -> out/whole.mp3: ID3v1 title cut to 30 characters"), std::string::npos)
      << r.Err;
  EXPECT_FALSE(fs::exists(c.Out + "/whole.mp3"));
  EXPECT_EQ(c.Run("--to mp3 -o out --strict " + title + " whole.wma").Status, 0);
}

// Regression: an MP3 behind a 64 MB ID3v2 frame (cover art of that size)
// took ten times the frame in memory, as FFmpeg copied the tag over and over.
// Large frames are stepped over: the run holds no more than without them,
// and the text frames around the large one still arrive.
TEST(Cli, LargeId3v2FrameCostsNoMemory) {
  Cli c;
  MakeAudio(c.Path("plain.mp3"), 2, 44100, 2, "-c:a libmp3lame");
  EXPECT_EQ(Python("def ss(n): return bytes([(n >> s) & 0x7f for s in (21, 14, 7, 0)])\n"
                   "def frame(i, d): return i.encode() + ss(len(d)) + b'\\0\\0' + d\n"
                   "t = frame('TIT2', b'\\x03Big one') + frame('PRIV', b'me\\0' + b'\\x55' * (64 << 20))"
                   " + frame('TALB', b'\\x03After')\n"
                   "open('" +
                   c.Path("big.mp3") +
                   "', 'wb').write(b'ID3\\x04\\0\\0' + ss(len(t)) + t"
                   " + open('" +
                   c.Path("plain.mp3") + "', 'rb').read())\n"),
            "");
  // Each run's peak resident memory, in KiB, from a process of its own.
  auto peak = [&](const std::string& Source) {
    const std::string kib = Python(
        "import os, resource, subprocess\n"
        "env = dict(os.environ, XDG_CONFIG_HOME='" +
        c.Path("cfg") +
        "')\n"
        "subprocess.run(['" TONVALE_CLI "', '--to', 'wma', '-q', '-y', '-o', '" +
        c.Out + "', '" + c.Path(Source) +
        "'], check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)\n"
        "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n");
    EXPECT_TRUE(!kib.empty() && std::isdigit(static_cast<unsigned char>(kib[0]))) << kib;
    return std::atol(kib.c_str());
  };
  // A compressed frame that inflates to 64 MiB is no better.
  EXPECT_EQ(Python("import zlib\ndef ss(n): return bytes([(n >> s) & 0x7f for s in (21, 14, 7, 0)])\n"
                   "z = zlib.compress(b'\\x03' + b'a' * (64 << 20))\n"
                   "t = b'TIT2' + ss(len(z) + 4) + b'\\0\\x09' + ss((64 << 20) + 1) + z\n"
                   "open('" +
                   c.Path("zip.mp3") + "', 'wb').write(b'ID3\\x04\\0\\0' + ss(len(t)) + t + open('" +
                   c.Path("plain.mp3") + "', 'rb').read())\n"),
            "");
  const long plain = peak("plain.mp3"), big = peak("big.mp3"), zip = peak("zip.mp3");
  EXPECT_LT(big, plain + 16 * 1024) << plain << " KiB without the frame, " << big << " KiB with it";
  EXPECT_LT(zip, plain + 16 * 1024) << plain << " KiB without the frame, " << zip << " KiB with it";
  EXPECT_EQ(c.Probe(c.Out + "/big.wma", "format_tags=Title,album"), "Big one,After\n");
}

// Regression: -r passed over a folder it could not read without a word. It
// is a failure naming the folder; the rest of the tree converts. Root reads
// any folder, so the run gives up the capability to (where it is root).
TEST(Cli, UnreadableFolderUnderRecursionFails) {
  Cli c;
  fs::create_directories(c.Path("tree/a/b"));
  fs::create_directories(c.Path("tree/c"));
  MakeAudio(c.Path("tree/a/b/x.wav"), 0.2, 44100, 1, "-c:a pcm_s16le");
  MakeAudio(c.Path("tree/c/y.wav"), 0.2, 44100, 1, "-c:a pcm_s16le");
  fs::permissions(c.Path("tree/a/b"), fs::perms::none);
  Result r = c.Run("--to mp3 -r -o out tree", AsUser());
  fs::permissions(c.Path("tree/a/b"), fs::perms::owner_all);
  EXPECT_EQ(r.Status, 1) << r.Err;
  EXPECT_EQ(r.Out, "out/c/y.mp3\n");
  EXPECT_NE(r.Err.find("failed tree/a/b: cannot read this folder: Permission denied"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("1 converted, 0 skipped, 1 failed"), std::string::npos) << r.Err;
}

// Regression: a WAV of 9 channels failed with "Cannot encode this sound into
// MP3." or "Failed to init codec", and one whose header claims 65535 with
// "not an audio file": each says what is wrong, in one message.
TEST(Cli, TooManyChannelsSayWhatIsWrong) {
  Cli c;
  for (int channels : {9, 65535}) {
    const std::string name = "c" + std::to_string(channels) + ".wav";
    Python(
        "import struct\n"
        "ch, data = " +
        std::to_string(channels) + ", b'\\0' * 2 * " + std::to_string(channels) +
        " * 4\n"
        "fmt = struct.pack('<HHIIHH', 1, ch, 8000, (16000 * ch) & 0xffffffff, (2 * ch) & 0xffff, 16)\n"
        "open('" +
        c.Path(name) +
        "', 'wb').write(b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt '"
        " + struct.pack('<I', 16) + fmt + b'data' + struct.pack('<I', len(data)) + data)\n");
    for (const char* target : {"mp3", "wma"}) {
      Result r = c.Run(std::string("--to ") + target + " -o out " + name);
      EXPECT_EQ(r.Status, 1) << r.Err;
      EXPECT_NE(r.Err.find(": " + std::to_string(channels) + " channels: at most 8 are read\n"), std::string::npos)
          << r.Err;
    }
  }
}

// Regression: on a terminal, progress lines wider than it wrapped and a block
// taller than it scrolled away (each redraw then left lines behind), and a
// name's escape sequences reached the terminal. On a terminal of 40 by 5:
// lines within 39 columns, the block within 4 lines, names escaped;
// standard output keeps the exact path.
TEST(Cli, ProgressFitsTheTerminalAndNamesCannotSendEscapes) {
  Cli c;
  const std::string red = "a\x1b[31mred.wav";
  MakeAudio(c.Path(red), 1, 44100, 2, "-c:a pcm_s16le");
  std::string files = "'" + red + "'";
  for (int i = 0; i < 6; ++i) {
    const std::string name = "long-name-number-" + std::to_string(i) + "-that-goes-on-and-on.wav";
    fs::copy_file(c.Path(red), c.Path(name));
    files += ", '" + name + "'";
  }
  const std::string report = Python(
      "import os, pty, re, subprocess, struct, fcntl, termios\n"
      "os.chdir('" +
      c.Dir.Path().string() +
      "')\n"
      "m, s = pty.openpty()\n"
      "fcntl.ioctl(s, termios.TIOCSWINSZ, struct.pack('HHHH', 5, 40, 0, 0))\n"
      "env = dict(os.environ, XDG_CONFIG_HOME='" +
      c.Path("cfg") +
      "')\n"
      "p = subprocess.Popen(['" TONVALE_CLI "', '--to', 'mp3', '-j', '6', '-o', 'out', " +
      files +
      "], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=s, env=env)\n"
      "os.close(s)\n"
      "err = b''\n"
      "while True:\n"
      "    try: d = os.read(m, 65536)\n"
      "    except OSError: break\n"
      "    if not d: break\n"
      "    err += d\n"
      "out = p.stdout.read()\n"
      "p.wait(timeout=120)\n"
      "lines = [re.split(rb'[\\r\\n\\x1b]', x)[0] for x in err.split(b'\\x1b[K')[1:]]\n"
      "print('drawn', len(lines) > 7, 'widest', max(len(x.decode()) for x in lines))\n"
      "print('within 4 lines', all(int(x) <= 3 for x in re.findall(rb'\\x1b\\[(\\d+)A', err)))\n"
      "print('raw escape', b'\\x1b[31m' in err, 'escaped', b'a\\\\x1b[31mred' in err)\n"
      "print('exact on stdout', b'out/a\\x1b[31mred.mp3\\n' in out)\n");
  EXPECT_EQ(report,
            "drawn True widest 39\n"
            "within 4 lines True\n"
            "raw escape False escaped True\n"
            "exact on stdout True\n");
}

// The dry run makes every check the run makes before writing: for each file
// the outcome and the reason kind it predicts are the run's.
TEST(Cli, DryRunPredictsEachOutcomeAndReasonOfTheRun) {
  const struct {
    const char* Name;
    const char* Args;
    const char* Files;
    bool OutputsExist;
  } cases[] = {
      {"refusals", "", "s.wav s.WAV s.wav x.mp3 notes.txt missing.wav empty.wav locked.wav ok.wav", false},
      {"strict tag loss", "--strict --no-id3v2 --artist 'Thirty-one characters long name'", "s.wav ok.wav", false},
      {"existing outputs, -n", "-n", "s.wav ok.wav", true},
      {"existing outputs, -y", "-y", "s.wav ok.wav", true},
      {"existing outputs, no answer", "", "s.wav ok.wav", true},
  };
  for (const auto& k : cases) {
    Cli c;
    for (const char* name : {"s.wav", "s.WAV", "ok.wav", "locked.wav"})
      MakeAudio(c.Path(name), 0.3, 44100, 2, "-c:a pcm_s16le");
    fs::permissions(c.Path("locked.wav"), fs::perms::none);
    MakeAudio(c.Path("x.mp3"), 0.3, 44100, 2, "-c:a libmp3lame");
    WriteText(c.Path("notes.txt"), "text");
    WriteText(c.Path("empty.wav"), "");
    if (k.OutputsExist)
      for (const char* name : {"s.mp3", "ok.mp3"}) WriteText(c.Out + "/" + name, "old");
    const std::string args = std::string("--json -j 2 --to mp3 -o out ") + k.Args + " " + k.Files;
    auto outcomes = [&](const std::string& Json) {
      WriteText(c.Path("run.json"), Json);
      return Shell("/usr/bin/python3 " + Quote(TONVALE_CLI_TESTS "/outcomes.py") + " " + Quote(c.Path("run.json")));
    };
    const std::string dry = outcomes(c.Run("--dry-run " + args).Out);
    const std::string real = outcomes(c.Run(args).Out);
    EXPECT_EQ(dry, real) << k.Name;
    EXPECT_NE(real.find(' '), std::string::npos) << k.Name << ": " << real;
  }
}

// Regression: Jobs in options.ini was read by the window only. With Jobs=1
// each file ends before the next starts; -j takes what the setting takes.
TEST(Cli, JobsFromOptionsIniAndOneRangeForBoth) {
  Cli c;
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) MakeAudio(c.Path(name), 0.5, 44100, 2, "-c:a pcm_s16le");
  fs::create_directories(c.Path("cfg/Quarnel/Tonvale"));
  WriteText(c.Path("cfg/Quarnel/Tonvale/options.ini"), "[CommonOptions]\nJobs=1\n");
  Result r = c.Run("--to mp3 -o out a.wav b.wav c.wav");
  EXPECT_EQ(r.Status, 0) << r.Err;
  std::string order;
  for (size_t at = 0; (at = r.Err.find_first_of("cd", at)) != std::string::npos; ++at)
    if (r.Err.compare(at, 11, "converting ") == 0 || r.Err.compare(at, 5, "done ") == 0) order += r.Err[at];
  EXPECT_EQ(order, "cdcdcd") << r.Err;
  for (const auto& [jobs, status] : {std::pair{"0", 0}, std::pair{"64", 0}, std::pair{"65", 2}, std::pair{"-1", 2}})
    EXPECT_EQ(c.Run(std::string("-y -j ") + jobs + " --to mp3 -o out a.wav").Status, status) << jobs;
}

TEST(Cli, ClosedStandardStreamsCorruptOutputs) {
  Cli c;
  const std::string files = "s1.mp3 s2.mp3 s3.mp3 s4.mp3 ";
  for (int i = 1; i <= 4; ++i) MakeAudio(c.Path("s" + std::to_string(i) + ".mp3"), i, 44100, 2, "-c:a libmp3lame");
  const std::string run =
      "cd " + Quote(c.Dir.Path().string()) + " && XDG_CONFIG_HOME=cfg " TONVALE_CLI " --to wav -j 4 ";
  for (const std::string closed : {"", "0", "1", "2"})
    Shell("mkdir " + c.Path("o" + closed) + " && " + run + files + "-o o" + closed +
          (closed.empty() ? "" : " " + closed + ">&-"));
  for (const std::string closed : {"0", "1", "2"})
    EXPECT_EQ(Shell(run.substr(0, run.find(" &&")) + " && diff -r o o" + closed), "");
}

// FUSE (phones, SD cards): no RENAME_NOREPLACE, no link, an inode per spelling.
TEST(Cli, FuseMountRefusedEveryOutputAndHidCaseFolding) {
  Cli c;
  const std::string why = Shell("cd " + Quote(c.Dir.Path().string()) + " && sh " TONVALE_CLI_TESTS "/fuse_mount.sh sd");
  if (!why.empty()) GTEST_SKIP() << why;
  MakeAudio(c.Path("a.wav"), 1, 44100, 2, "");
  Shell("mkdir " + c.Path("sd/out") + " && cp " + c.Path("a.wav") + " " + c.Path("sd/Song.wav") + " && cp " +
        c.Path("a.wav") + " " + c.Path("A.wav"));
  const Result plain = c.Run("--to mp3 -o sd/out a.wav"), never = c.Run("--to mp3 -n -o sd a.wav");
  const Result spellings = c.Run("--to mp3 --same-folder sd/song.wav sd/SONG.wav");
  const Result existing = c.Run("--to mp3 -y -o sd/out a.wav A.wav");
  EXPECT_NE(existing.Err.find("A.wav: its output sd/out/A.mp3 is already written in this run"), std::string::npos);
  const std::string listing = Shell("cd " + c.Path("sd") + " && LC_ALL=C ls . out; cd / && umount " + c.Path("sd"));
  EXPECT_EQ(plain.Status + never.Status, 0) << plain.Err << never.Err;
  EXPECT_NE(spellings.Err.find("skipped sd/SONG.wav: given twice"), std::string::npos) << spellings.Err;
  EXPECT_EQ(listing, ".:\nSong.wav\na.mp3\nout\nsong.mp3\n\nout:\na.mp3\n");
}

// Every end of a run with --json gave one JSON object: exit 2 printed none.
TEST(Cli, JsonWasEmptyWhenTheRunWasRefused) {
  Cli c;
  MakeAudio(c.Path("a.wav"), 0.3, 44100, 2, "-c:a pcm_s16le");
  const std::string ini = c.Path("cfg/Quarnel/Tonvale/options.ini"), huge((1 << 20) + 1, '\n');
  for (const auto& [args, kind] : std::vector<std::pair<std::string, std::string>>{
           {"--to ogg a.wav", "usage"},
           {"--to mp3 --genre \"$(printf '\\033]0;X\\007')\" a.wav", "usage"},
           {"--to mp3 -o nowhere a.wav", "output folder"},
           {"--to wma --wma-codec 99 -o out a.wav", "WMA settings"},
           {"--to mp3 -o out a.wav", "settings"}}) {
    if (kind == "settings") fs::create_directories(fs::path(ini).parent_path()), WriteText(ini, huge);
    const Result r = c.Run("--json " + args);
    EXPECT_TRUE(r.Status == 2 && r.Err.find('\x1b') == std::string::npos) << args << r.Err;
    WriteText(c.Path("o.json"), r.Out);
    EXPECT_EQ(Python("import json\nprint(json.load(open('" + c.Path("o.json") + "'))['error']['kind'])"), kind + "\n");
  }
  EXPECT_EQ(ReadBytes(ini).size(), huge.size()) << "a refused options.ini is not written over";
}

// Standard error escapes names also in a file; standard output keeps them.
TEST(Cli, NameWithALineBreakForgedALogLine) {
  Cli c;
  MakeAudio(c.Path("x\ndone y.wav"), 0.3, 44100, 2, "-c:a pcm_s16le");
  const Result r = c.Run("--to mp3 -o out 'x\ndone y.wav'");
  EXPECT_EQ(r.Out, "out/x\ndone y.mp3\n");
  EXPECT_EQ(r.Err,
            "converting x\\ndone y.wav -> x\\ndone y.mp3\ndone out/x\\ndone y.mp3\n1 converted, 0 skipped, 0 failed\n");
}

// Regression: a FIFO as options.ini held every run until a signal came.
TEST(Cli, SettingsFileThatIsNoRegularFileHeldTheRun) {
  Cli c;
  const std::string ini = c.Path("cfg/Quarnel/Tonvale/options.ini");
  for (const char* make : {"mkfifo ", "mkdir "})
    for (const char* dry : {"", "--dry-run "}) {
      Shell("rm -rf " + Quote(ini) + "; mkdir -p " + Quote(c.Path("cfg/Quarnel/Tonvale")) + "; " + make + Quote(ini));
      const Result r = c.Run(std::string(dry) + "--to mp3 -o out a.wav", "timeout 60 ");
      EXPECT_EQ(std::to_string(r.Status) + r.Err,
                "2tonvale-cli: " + ini + " is not a regular file: the default settings are used\n");
    }
}

// A WMA holding its header and no packet and a WAV whose data chunk is empty
// were "converted" into outputs without audio; a WAV a few frames short of
// its header passed as whole.
TEST(Cli, SourcesWithoutAudioFailAndWavLengthsAreExact) {
  Cli c;
  Shell("sox -n -r 8000 -c 1 " + Quote(c.Path("empty.wav")) + " trim 0 0");
  MakeAudio(c.Path("full.wma"), 3, 44100, 2, "-c:a wmav2 -b:a 64k");
  auto wma = ReadBytes(c.Path("full.wma"));
  wma.resize(wma[16] + 256u * wma[17] + 50);  // the header objects and the data object's own header
  WriteBytes(c.Path("header.wma"), wma);
  for (const auto& [name, target] : {std::pair{"empty.wav", "mp3"}, {"empty.wav", "wma"}, {"header.wma", "wav"}}) {
    Result r = c.Run(std::string("--to ") + target + " -o out " + name);
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find(std::string(": no audio in ") + name + "\n"), std::string::npos) << r.Err;
    EXPECT_TRUE(fs::is_empty(c.Out)) << name << " to " << target;
  }
  Shell(
      "cd " + Quote(c.Path("")) +  // an MP3 of its Info frame alone
      " && sox -n -r 44100 -c 2 s.wav synth 1 sine 440 && lame --quiet s.wav s.mp3 && head -c 417 s.mp3 > header.mp3");
  EXPECT_NE(c.Run("--to wav -o out header.mp3").Err.find(": no audio, only the header of an MP3 file\n"),
            std::string::npos);
  Shell("sox -n -r 44100 -c 2 -b 16 " + Quote(c.Path("short.wav")) + " synth 2 pinknoise");
  fs::resize_file(c.Path("short.wav"), fs::file_size(c.Path("short.wav")) - 4 * 100);
  EXPECT_NE(c.Run("--to mp3 -o out short.wav").Err.find("ended early: 0.002 s of the 2.0 s"), std::string::npos);
  EXPECT_EQ(c.Run("--to mp3 -o out -y --strict short.wav").Status, 1);
}

// 12- and 20-bit PCM, A-law, µ-law, GSM 6.10 and RIFX were refused. Each goes
// to MP3 and back at its exact length, to WMA and back whole, keeping its
// sound (as ffmpeg reads it, or its source: ffmpeg misreads RIFX); what is
// not read is refused by name.
TEST(Cli, UnusualPcmWidthsAndG711RoundTrip) {
  Cli c;
  for (const char* args :
       {"p12.wav 1 2 44100 12 16 2", "p20.wav 1 1 44100 20 24 2", "p24in32.wav 1 2 44100 24 32 2",
        "p16.wav 1 2 44100 16 16 2", "p16m.wav 1 1 44100 16 16 2", "p5.wav 1 1 8000 5 8 1", "p64.wav 1 1 8000 64 64 1",
        "truespeech.wav 34 1 8000 8 8 1", "e9.wav 1 9 8000 16 16 1 extensible"})
    Shell("cd " + Quote(c.Path("")) + " && /usr/bin/python3 " TONVALE_PCM_WAV " " + args);
  MakeAudio(c.Path("alaw.wav"), 2, 44100, 1, "-c:a pcm_alaw");
  MakeAudio(c.Path("ulaw.wav"), 2, 44100, 2, "-c:a pcm_mulaw");
  Shell("sox " + Quote(c.Path("ulaw.wav")) + " -b 16 -B " + Quote(c.Path("rifx.wav")));
  for (const auto& [name, same] : {std::pair{"p12", "p16"},
                                   {"p20", "p16m"},
                                   {"p24in32", "p16"},
                                   {"alaw", "alaw"},
                                   {"ulaw", "ulaw"},
                                   {"rifx", "ulaw"}}) {
    const auto source = Stereo16(c.Path(same + std::string(".wav")));
    for (const std::string target : {"mp3", "wma"}) {
      const std::string coded = "out/" + std::string(name) + "." + target;
      ASSERT_EQ(c.Run("--to " + target + " -o out -y -q " + name + ".wav").Status, 0) << name;
      ASSERT_EQ(c.Run("--to wav -o out -y -q " + coded).Status, 0) << name;
      const auto back = Stereo16(c.Out + "/" + name + ".wav");
      EXPECT_EQ(back.size(), target == "mp3" ? source.size() : Stereo16(c.Path(coded)).size()) << name << target;
      EXPECT_GT(Correlation(source, back), 0.99) << name << " " << target;
    }
  }
  MakeAudio(c.Path("gsm.wav"), 2.5, 8000, 1, "-c:a gsm_ms");
  ASSERT_EQ(c.Run("--to mp3 -o out -q gsm.wav").Status, 0);
  const std::string gsm = Shell("ffmpeg -v error -i " + Quote(c.Out + "/gsm.mp3") + " -ar 8000 -f s16le -");
  const auto theirs = FfmpegDecode(c.Path("gsm.wav")), ours = AsSamples({gsm.begin(), gsm.end()});
  EXPECT_EQ(ours.size(), theirs.size());
  EXPECT_GT(Correlation(theirs, ours), 0.99);
  MakeAudio(c.Path("lame.wav"), 1, 44100, 2, "-c:a libmp3lame -f mp3");
  for (const char* target : {"mp3", "wma"})
    for (const char* message :
         {"read p5.wav: 5-bit integer PCM is not read", "read p64.wav: 64-bit integer PCM is not read",
          "read truespeech.wav: WAV format 0x0022 (TrueSpeech) is not read",
          "convert e9.wav: 9 channels: at most 8 are read", "read lame.wav: it is an MP3 file, not a WAV file"}) {
      const std::string m = message;
      const size_t space = m.find(' '), colon = m.find(':');
      Result r = c.Run(std::string("--to ") + target + " -o out " + m.substr(space + 1, colon - space - 1));
      EXPECT_NE(r.Err.find("Cannot " + std::string(message) + "\n"), std::string::npos) << r.Err;
    }
}

// Regression: a dry run gave up at an unreadable WAV and said "converted" where the run failed.
TEST(Cli, DryRunGaveUpOrPredictedConversionsWhereTheRunFailed) {
  Cli c;
  MakeAudio(c.Path("ok.wav"), 0.3, 44100, 2, "");
  const std::string out = "out/" + std::string(250, 'c') + "/" + std::string(150, 'c'), py = "python3 ";
  Shell(py + TONVALE_CLI_TESTS "/probe_tree.py " + Quote(c.Path("ok.wav")) + " " + Quote(c.Path("case")) + " " +
        Quote(c.Path(out)));
  auto outcomes = [&](const std::string& Args) {
    WriteText(c.Path("o.json"), c.Run("--json -y -r --to mp3 -o " + out + Args + " case", AsUser()).Out);
    return Shell(py + TONVALE_CLI_TESTS "/outcomes.py " + Quote(c.Path("o.json")) + " | sed 's#/[^ ]*/#/.../#'");
  };
  EXPECT_EQ(outcomes(" --dry-run"), outcomes(""));
  EXPECT_EQ(outcomes(""),
            "case/.../x.wav converted \ncase/dir.wav failed output cannot be written\ncase/.../y.wav "
            "failed output cannot be written\ncase/noread.wav failed cannot read\ncase/ok.wav converted \n");
  EXPECT_NE(c.Run("-r --to mp3 -o " + out + " case/long").Err.find("4192 bytes long while writing, past the 4095"),
            std::string::npos);
}

// Regression: --title went to every file found under a folder with -r.
TEST(Cli, TitleWentToEveryFileUnderAFolder) {
  Cli c;
  for (const char* name : {"one/a.wav", "two/a.wav", "two/b.wav"})
    fs::create_directories(fs::path(c.Path(name)).parent_path()), MakeAudio(c.Path(name), 0.3, 44100, 2, "");
  EXPECT_EQ(c.Run("--to mp3 -o out --title X -r two").Status, 2);
  EXPECT_TRUE(fs::is_empty(c.Out) && c.Run("--to mp3 -o out --title X -r one").Status == 0);
}

// Regression: a SIGTERM waited on a full pipe as standard output until its reader went away.
TEST(Cli, StopWaitedForAReaderOfAFullPipe) {
  Cli c;
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) MakeAudio(c.Path(name), 20, 44100, 2, "");
  const std::string run = "python3 " TONVALE_CLI_TESTS "/stop_on_full_pipe.py '" TONVALE_CLI "' " +
                          Quote(c.Dir.Path().string()) +
                          " 'out/.a.mp3.*' 10 --to mp3 -y -o out -j 2 a.wav b.wav c.wav ";
  for (const std::string json : {"-q --json", "-q"}) EXPECT_EQ(Shell(run + json).substr(0, 4), "143 ");
}

// Regression: options.ini unreadable, after a byte-order mark or out of range gave the defaults silently.
TEST(Cli, SettingsIgnoredWithoutAWord) {
  Cli c;
  const std::string ini = c.Path("cfg/Quarnel/Tonvale/options.ini"), said = "options.ini: BitRate=999 is out of range";
  MakeAudio(c.Path("a.wav"), 0.3, 44100, 2, "");
  fs::create_directories(fs::path(ini).parent_path());
  WriteText(ini, "\xEF\xBB\xBF[CommonOptions]\nOutputFolder=" + c.Out + "\n[Mp3Options]\nBitRate=999\n");
  const Result r = c.Run("--json --dry-run --to mp3 a.wav");
  EXPECT_EQ(r.Err, "tonvale-cli: " + said + "; 128 is used\n");
  EXPECT_EQ(r.Out.find("{\"dry run\": true, \"warnings\": [\"" + said +
                       "; 128 is used\"], \"files\": [{\"source\": \"a.wav\", \"output\": \"" + c.Out),
            0u);
  fs::permissions(ini, fs::perms::none);
  const std::string unread = ini + ": it cannot be read (Permission denied); the default settings are used";
  EXPECT_EQ(c.Run("--json --to mp3 -o out a.wav", AsUser()).Out.find("{\"warnings\": [\"" + unread + "\"]"), 0u);
}

// --vbr-header changed nothing: the frame is always there; the option is taken, unlisted.
TEST(Cli, VbrHeaderOptionChangedNothing) {
  Cli c;
  MakeAudio(c.Path("a.wav"), 1, 44100, 2, "");
  EXPECT_EQ(c.Run("--help").Out.find("vbr-header"), std::string::npos);
  for (const std::string header : {"", "--vbr-header"}) {
    ASSERT_EQ(c.Run("-y --to mp3 --vbr -o out a.wav " + header).Status, 0);
    EXPECT_EQ(Shell("head -c 4000 " + c.Out + "/a.mp3 | tr -c A-Za-z '\\n' | grep -c -x Xing"), "1\n") << header;
  }
}
