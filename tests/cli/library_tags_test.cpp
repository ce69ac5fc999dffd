// A library's tags as other tools wrote them (mutagen, ffmpeg; made by
// library_tags.py), converted by tonvale-cli in each mode that applies and
// read back with mutagen and ffprobe: every value equal, or reported.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/audio_fixtures.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale::test;

TEST(Cli, LibraryTagsSurviveTheMove) {
  TempDir dir;
  const std::string d = dir.Path().string(), script = Quote(std::string(TONVALE_CLI_TESTS) + "/library_tags.py");
  MakeAudio(d + "/base.mp3", 0.5, 44100, 2, "-c:a libmp3lame");
  MakeAudio(d + "/base.wma", 0.5, 44100, 2, "-c:a wmav2");
  MakeAudio(d + "/base.wav", 0.5, 44100, 2, "-c:a pcm_s16le");
  MakeAudio(d + "/info.wav", 0.5, 44100, 2,
            "-c:a pcm_s16le -metadata title='Info Title' -metadata artist=Ia -metadata album=Ib -metadata date=2001 "
            "-metadata track=7 -metadata comment=Ic -metadata copyright=Id");
  // FFmpeg's muxer writes "Copyright" twice, as earlier versions wrote the comment.
  MakeAudio(d + "/old.wma", 0.5, 44100, 2, "-c:a wmav2 -metadata Copyright='Old comment'");
  MakeAudio(d + "/ffcomment.mp3", 0.5, 44100, 2, "-c:a libmp3lame -metadata comment='FF comment'");  // TXXX:comment
  Shell("/usr/bin/python3 " + script + " make " + Quote(d));
  // The window's same tag for a batch: the command line has no tag editor.
  Shell("mkdir -p " + Quote(d + "/cfg/Quarnel/Tonvale") + " && printf '[CommonOptions]\\nIsSameTag=1\\n' > " +
        Quote(d + "/cfg/Quarnel/Tonvale/options.ini"));
  const auto tags = [&](const std::string& File) {
    return Shell("/usr/bin/python3 " + script + " read " + Quote(File));
  };
  const auto run = [&](const std::string& Args, int* Status = nullptr) {
    return Shell(
        "cd " + Quote(d) + " && mkdir -p out && env XDG_CONFIG_HOME=cfg '" TONVALE_CLI "' -y -o out " + Args + " 2>&1",
        Status);
  };
  const struct {
    std::string Args, Output;
    std::vector<std::string> Want, Absent;  // lines of the tags read back; text nowhere in them
  } cases[] = {
      {"--to wma v23unsync.mp3", "v23unsync.wma", {"Title=\u00ffnsync \u00ff", "Author=Sync Artist"}, {}},
      {"--to wma v24ext.mp3", "v24ext.wma", {"Title=\u00ffxt title", "Author=Packed Artist"}, {}},
      {"--to wma v23zlib.mp3", "v23zlib.wma", {"Title=Zip", "WM/AlbumTitle=Zipped Album"}, {}},
      {"--to wav broken.mp3", "broken.wav", {"INAM=After Bad", "IART=70000 characters"}, {}},
      {"--to wma v24many.mp3",
       "v24many.wma",
       {"Author=First; Second", "Description=Described", "Copyright=2001 Label", "WM/AlbumArtist=Band",
        "WM/PartOfSet=2/3", "WM/Composer=Writer", "WM/TrackNumber=14", "WM/Genre=Drum & Bass", "WM/Year=2004-05-06",
        "WM/Picture=picture 3057 image/png"},
       {"WM/Track=", "album cover"}},
      {"--to wma ape.mp3", "ape.wma", {"Title=Id3 Title", "WM/AlbumTitle=Ape Album"}, {}},
      {"--to mp3 ripped.wma",
       "ripped.mp3",
       {"TIT2=Ripped", "TPE1=One; Two", "COMM=A real comment", "TCOP=2003 Store", "TRCK=14", "TPE2=Various", "TPOS=1/2",
        "TCOM=Comp", "TCON=Folk-Rock", "TDRC=1999", "APIC=image/jpeg 3 scan by Bob 2000"},
       {"Cover", "TIT2=scan by Bob"}},
      {"--to mp3 ripped.wma first.wma", "first.mp3", {"TIT2=First", "TRCK=1"}, {}},
      {"--to wav --track 0 first.wma", "first.wav", {"INAM=First"}, {"ITRK"}},
      {"--to wav multi.mp3", "multi.wav", {"ICRD=2001; 2002", "ITRK=4; 5", "IGNR=Pop; Dance"}, {}},
      {"--to wma multi.mp3", "multi.wma", {"Title=Title A; Title B", "Copyright=Cop A; Cop B"}, {}},
      {"--to mp3 --no-id3v2 out/multi.wma", "multi.mp3", {"TCON=Pop"}, {}},
      {"--to mp3 cp1252.wav", "cp1252.mp3", {"TPE1=Mot\u00f6rhead \u2013 \u201cLive\u201d"}, {}},
      {"--to mp3 --year 2024-13-45 base.wav", "base.mp3", {"TDRC=2024"}, {}},
      {"--to mp3 old.wma", "old.mp3", {"COMM=Old comment"}, {"TCOP"}},
      {"--to mp3 copyright.wma", "copyright.mp3", {"TCOP=2001 Label"}, {"COMM"}},
      {"--to wma out/copyright.mp3", "copyright.wma", {"Copyright=2001 Label"}, {"Description"}},
      {"--to mp3 out/copyright.wma", "copyright.mp3", {"TCOP=2001 Label"}, {"COMM"}},
      {"--to mp3 bigext.wma", "bigext.mp3", {"TCOM=Lib Composer"}, {"APIC"}},
      {"--to wav ripped.wma", "ripped.wav", {"IART=One; Two", "ICMT=A real comment", "ICOP=2003 Store"}, {}},
      {"--to mp3 info.wav", "info.mp3", {"TIT2=Info Title", "TPE1=Ia", "TALB=Ib", "TRCK=7", "COMM=Ic", "TCOP=Id"}, {}},
      {"--to wma id3.wav", "id3.wma", {"Title=Wave Title", "Author=Wave Artist", "WM/TrackNumber=5"}, {}},
      {"--to mp3 id3.wav", "id3.mp3", {"APIC=image/jpeg 3 wav cover 1002"}, {}},
      {"--to wma plain.mp3", "plain.wma", {"WM/Picture=picture 40027 image/png", "Author=After cover"}, {}},
      {"--to wav ffcomment.mp3", "ffcomment.wav", {"ICMT=FF comment"}, {}},
      {"--to wma linked.mp3", "linked.wma", {"Description=Upper comment"}, {"WM/Picture"}},
      {"--to wma langs.mp3", "langs.wma", {"Description=Kommentar; Commentaire; English comment"}, {}},
      {"--to mp3 out/langs.wma", "langs.mp3", {"COMM=Kommentar; Commentaire; English comment"}, {}},
      {"--to mp3 --comment 'thirty characters of comment..' base.wav", "base.mp3", {}, {"TRCK"}},  // nor in ID3v1
      {"--to wma --title c base.wav", "base.wma", {"Title=c"}, {}},  // once, though too short for a padding object
      {"--to mp3 --genre 'drum & bass' --year 'May 2024' base.wav", "base.mp3", {"TCON=Drum & Bass", "TDRC=2024"}, {}},
      {"--to mp3 --no-id3v2 --track 3/12 base.wav", "base.mp3", {"TRCK=3", "version=2.1"}, {}},
      {"--to wav --title Given --comment Said ripped.wma", "ripped.wav", {"INAM=Given", "ICMT=Said"}, {}},
      // Tags a strict reader loses: every other frame survives.
      {"--to wma badsize.mp3", "badsize.wma", {"WM/Composer=After popm", "WM/Conductor=Conductor after"}, {}},
      {"--to wma zero.mp3", "zero.wma", {"Title=Zero first", "Author=Zero artist"}, {}},
      {"--to wma overrun.mp3", "overrun.wma", {"Title=Over", "WM/AlbumTitle=Over album"}, {}},
      {"--to wma latin.mp3", "latin.wma", {"Title=\u00cf\u00f0\u00e8"}, {}},
      {"--to wma plain24.mp3", "plain24.wma", {"Title=300 characters", "WM/Conductor=Plain conductor"}, {}},
      {"--to wma oldids.mp3", "oldids.wma", {"WM/AlbumTitle=Old album", "WM/Composer=Old composer"}, {}},
      {"--to wma nomark.mp3", "nomark.wma", {"Title=No mark", "WM/TrackNumber=102", "WM/Year=2011-09-27 15:30"}, {}},
      // Several values in their order, each container's way.
      {"--to wma zeros.mp3", "zeros.wma", {"Author=piman; jzig"}, {}},
      {"--to wma titles.mp3", "titles.wma", {"Title=One; Two; Three", "WM/Conductor=Maestro"}, {}},
      {"--to mp3 out/titles.wma", "titles.mp3", {"TIT2=One; Two; Three", "TPE3=Maestro"}, {}},
      {"--to mp3 twoauthors.wma", "twoauthors.mp3", {"TPE1=Described; Attribute", "TPE3=Wand"}, {}},
      {"--to mp3 spread.wma", "spread.mp3", {"TCOM=Kiedis; Smith; Flea"}, {}},
      {"--to mp3 twoid3.wav", "twoid3.mp3", {"TIT2=First chunk"}, {"Second"}},
      // A cover's MIME type by its data.
      {"--to wma jpgmime.mp3", "jpgmime.wma", {"WM/Picture=picture 532 image/jpeg"}, {}},
      {"--to wma nomime.mp3", "nomime.wma", {"WM/Picture=picture 535 image/png"}, {}},
  };
  for (const auto& k : cases) {
    const std::string said = run(k.Args);
    if (k.Args.find("--no-id3v2") == std::string::npos) {  // ID3v1 holds no track total
      EXPECT_EQ(said.find("not found whole"), std::string::npos) << k.Args << ": " << said;
    }
    const std::string got = tags(d + "/out/" + k.Output);
    for (const auto& w : k.Want) EXPECT_NE(got.find(w + "\n"), std::string::npos) << k.Args << ": " << w << "\n" << got;
    for (const auto& a : k.Absent) EXPECT_EQ(got.find(a), std::string::npos) << k.Args << ": " << a << "\n" << got;
  }
  // FFmpeg keeps one value of a name: the first, of the content description.
  EXPECT_EQ(
      Shell("ffprobe -v error -show_entries format_tags=title,copyright -of csv=p=0 " + Quote(d + "/out/multi.wma")),
      "Title A,Cop A\n");
  // FFmpeg takes both covers for pictures.
  for (const char* cover : {"/out/jpgmime.wma", "/out/nomime.wma"})
    EXPECT_EQ(Shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " + Quote(d + cover)),
              "audio\nvideo\n");
  // ffprobe reads the same WAV tags; a cover's metadata is not the file's.
  EXPECT_EQ(Shell("ffprobe -v error -show_entries format_tags=title,artist -of csv=p=0 " + Quote(d + "/out/info.mp3")),
            "Info Title,Ia\n");
  // The ID3v2 tag leaves room for a tag editor to change it in place.
  EXPECT_EQ(Shell("/usr/bin/python3 " + script + " retag " + Quote(d + "/out/info.mp3")),
            "padding 1 to 4 KiB, audio in place\n");
  EXPECT_NE(tags(d + "/out/info.mp3").find("TIT2=Retitled by a tag editor\n"), std::string::npos);

  // Round trips keep every value (but the WMA's zero-based "WM/Track" and
  // the MP3's rating).
  std::filesystem::create_directories(d + "/back");
  run("--to mp3 ripped.wma && '" TONVALE_CLI "' -y -o back --to wma out/ripped.mp3");
  const std::string ripped = tags(d + "/ripped.wma"), back = tags(d + "/back/ripped.wma");
  for (const char* w : {"Title=", "Author=", "Description=", "Copyright=", "WM/AlbumArtist=", "WM/PartOfSet=",
                        "WM/Genre=", "WM/TrackNumber=", "WM/Year=", "WM/Picture="}) {
    const size_t at = ripped.find(w);
    ASSERT_NE(at, std::string::npos) << w;
    const std::string line = ripped.substr(at, ripped.find('\n', at) - at + 1);
    EXPECT_NE(back.find(line), std::string::npos) << line << back;
  }
  run("--to wma v24many.mp3 && '" TONVALE_CLI "' -y -o back --to mp3 out/v24many.wma");
  std::string many = tags(d + "/v24many.mp3"), again = tags(d + "/back/v24many.mp3");
  // WMA holds the track number without its total.
  many.replace(many.find("TRCK=14/20"), 10, "TRCK=14");
  EXPECT_EQ(again, many);

  // The report tells what no tag keeps; --strict fails the file for it.
  int status = 0;
  std::string said = run("--to mp3 --track -5 base.wav", &status);
  EXPECT_NE(said.find("track -5 outside 0 to 255 left out (no tag keeps it whole)"), std::string::npos) << said;
  for (const char* zero : {"--to mp3 --track 0 base.wav", "--to wav --track 0 base.wma"})
    EXPECT_NE(run(zero).find("track 0 "), std::string::npos) << zero;
  said = run("--to mp3 --no-id3v2 --json out/multi.wma");
  EXPECT_NE(said.find("genre \\\"Pop; Dance\\\" written as Pop"), std::string::npos) << said;
  said = run("--to mp3 --strict --year 99 base.wav", &status);
  EXPECT_EQ(status, 0) << said;
  EXPECT_NE(said.find("year \"99\" written as none in the ID3v2 tag; the ID3v1 tag keeps it whole"), std::string::npos);
  said = run("--to mp3 --strict --year 'May 2024' base.wav", &status);
  EXPECT_NE(status, 0) << said;
  EXPECT_NE(said.find("year \"May 2024\" written as 2024 in the ID3v2 tag"), std::string::npos) << said;
  said = run("--to wma broken.mp3", &status);
  EXPECT_NE(said.find("WMA artist cut to 32766 characters"), std::string::npos) << said;
  EXPECT_NE(tags(d + "/out/broken.wma").find("Author=32766 characters"), std::string::npos);
  said = run("--to wma v24many.mp3");
  EXPECT_NE(said.find("WMA track total of 14/20 left out"), std::string::npos) << said;
  for (const char* strict : {"--to wma --strict --dry-run v24many.mp3", "--to wav --strict --dry-run v24many.mp3"}) {
    said = run(strict, &status);  // predicted as the strict run fails
    EXPECT_NE(status, 0) << strict;
    EXPECT_NE(said.find("failed: "), std::string::npos) << said;
  }
  said = run("--to mp3 --strict --no-id3v2 ripped.wma", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(said.find("ID3v1 holds no copyright, album artist, disc, composer and picture"), std::string::npos) << said;
  said = run("--to wma --strict linked.mp3", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(said.find("the picture, a link to one, left out"), std::string::npos) << said;
  for (const char* big : {"--to wma huge.mp3", "--to mp3 bigext.wma"}) {
    said = run(big);
    EXPECT_NE(said.find("the picture, larger than 16 MiB, left out"), std::string::npos) << said;
  }
}
