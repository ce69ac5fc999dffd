// tonvale-cli end to end: every mode on peer-made fixtures, outputs checked
// with ffprobe, an ffmpeg decode and mutagen.

#include <gtest/gtest.h>

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
    Shell("cd " + Quote(Dir.Path().string()) + " && " + Prefix + "env XDG_CONFIG_HOME=" + Quote(Dir.File("cfg")) +
              " " + TONVALE_CLI + " " + Args + " > " + Quote(out) + " 2> " + Quote(err) + " < /dev/null",
          &status);
    auto text = [](const std::string& P) {
      std::ifstream in(P);
      std::stringstream s;
      s << in.rdbuf();
      return s.str();
    };
    return {status, text(out), text(err)};
  }

  std::string Probe(const std::string& File, const std::string& Entries) {
    return Shell("ffprobe -v error -show_entries " + Entries + " -of csv=p=0 " + Quote(File));
  }
};

}  // namespace

TEST(Cli, AllSixModesInOneGo) {
  Cli c;
  MakeAudio(c.Path("pcm.wav"), 1.5, 44100, 2, "-c:a pcm_s16le");
  MakeAudio(c.Path("ima.wav"), 1.5, 22050, 1, "-c:a adpcm_ima_wav");
  MakeAudio(c.Path("ms.wav"), 1.5, 22050, 2, "-c:a adpcm_ms");
  MakeAudio(c.Path("l3.wav"), 1.5, 44100, 2, "-c:a libmp3lame -f wav");
  MakeAudio(c.Path("song.mp3"), 1.5, 44100, 2, "-c:a libmp3lame -id3v2_version 3 -metadata title=Song");
  MakeAudio(c.Path("clip.wma"), 1.5, 44100, 2, "-c:a wmav2 -metadata Title=Clip -metadata Author=Who");

  Result mp3 = c.Run("--to mp3 -o out pcm.wav ima.wav ms.wav l3.wav clip.wma");
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
      const std::string back = Shell("ffmpeg -v error -i " + Quote(out) + " -ar 22050 -ac " +
                                     (name == "ima" ? "1" : "2") + " -f s16le -");
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
  Result r = c.Run("--to mp3 -o out --title 'The Title' --artist Me --album Al --year 1999 --genre 'hip-hop' "
                   "--track 4 --comment Note one.wav");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Python("from mutagen.id3 import ID3\nt = ID3('" + c.Out + "/one.mp3')\n"
                   "print(t['TIT2'], t['TPE1'], t['TALB'], t['TDRC'], t['TRCK'], t['TCON'].genres[0], "
                   "t.getall('COMM')[0], sep='|')\n"),
            "The Title|Me|Al|1999|4|Hip-Hop|Note\n");
  r = c.Run("--to wma -o out --artist Me --genre rock one.wav");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Python("from mutagen.asf import ASF\nt = ASF('" + c.Out + "/one.wma')\n"
                   "print(sorted(t.keys()), t['Title'][0], t['Author'][0], t['WM/Genre'][0])\n"),
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
  const std::string script = "script -qec \"env XDG_CONFIG_HOME=" + c.Path("cfg") + " " + TONVALE_CLI +
                             " --to mp3 -o out a.wav\" /dev/null";
  std::string asked = Shell("cd " + Quote(c.Dir.Path().string()) + " && printf 'n\\n' | " + script);
  EXPECT_NE(asked.find("a.mp3 has existed, overite it?"), std::string::npos) << asked;
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
  Result r = c.Run("--to mp3 --same-folder -q broken.wav song.final.wav sub/Other.WAV notes.txt");
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
  EXPECT_EQ(missing.Err, "the output folder does not exist.Please check the output directory setting.\n");
  // Settings come from options.ini and the options override them.
  fs::create_directories(c.Path("cfg/Quarnel/Tonvale"));
  const std::string ini = "[CommonOptions]\nOutputFolder=" + c.Out + "\n[Mp3Options]\nConstantBitRate=8\nStereoMode=0\n";
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
