#include "audio/wave/wave_converter.h"

#include <gtest/gtest.h>

#include "audio/wave/wav_header.h"
#include "support/audio_fixtures.h"
#include "support/peers.h"
#include "support/temp_dir.h"

using namespace tonvale;
using namespace tonvale::test;

TEST(WaveConverter, LoadsFormatAndDataOfAnMpegWav) {
  TempDir dir;
  const std::string path = dir.File("mp3.wav");
  MakeAudio(path, 1, 44100, 2, "-c:a libmp3lame -b:a 96k -f wav");
  auto file = ReadBytes(path);
  TMemoryStream source(file);
  TWaveConverter conv;
  EXPECT_EQ(conv.MaxFormatSize, 50u);
  EXPECT_EQ(conv.LoadFromWav(source), 0);
  EXPECT_EQ(conv.SourceFormat()->wFormatTag, 85);
  EXPECT_EQ(conv.SourceFormat()->cbSize, 12) << "the 30-byte MPEG Layer-3 format";
  source.SetPosition(0);
  TWavHeader h = ScanWavHeader(source);
  ASSERT_EQ(h.Kind, wtACM);
  EXPECT_EQ(conv.Size(), h.DataSize);
  EXPECT_TRUE(std::equal(conv.Data().begin(), conv.Data().end(), file.begin() + h.DataOffset));

  conv.DestFormat()->wFormatTag = 1;
  ASSERT_EQ(acmFormatSuggest(nullptr, conv.SourceFormat(), conv.DestFormat(), 129, 0x10000), 0u);
  ASSERT_EQ(conv.Convert(), 0);
  TMemoryStream image;
  ASSERT_EQ(conv.SaveWav(image), 0);
  image.SetPosition(0);
  TWavHeader pcm = ScanWavHeader(image);
  EXPECT_EQ(pcm.Kind, wtPCM);
  EXPECT_EQ(pcm.Channels, 2);
  EXPECT_EQ(pcm.SampleRate, 44100u);
  EXPECT_EQ(pcm.BitsPerSample, 16);
  EXPECT_EQ(pcm.DataOffset, 44);
  EXPECT_EQ(pcm.DataSize + 44, image.Size());
  // The PCM is what the decoder produced: every sample ffmpeg decodes.
  auto theirs = FfmpegDecode(path);
  EXPECT_EQ(static_cast<size_t>(pcm.DataSize), theirs.size() * 2);
}

TEST(WaveConverter, EmptyAndForeignSources) {
  // A data chunk of size 0 leaves the contents empty; the conversion then fails.
  std::vector<uint8_t> wav = {'R', 'I', 'F', 'F', 0,  0, 0,   0,   'W',  'A',  'V', 'E', 'f', 'm', 't', ' ',
                              18,  0,   0,   0,   85, 0, 1,   0,   0x44, 0xAC, 0,   0,   0,   0,   0,   0,
                              1,   0,   0,   0,   0,  0, 'd', 'a', 't',  'a',  0,   0,   0,   0};
  TMemoryStream source(wav);
  TWaveConverter conv;
  conv.LoadFromWav(source);
  EXPECT_EQ(conv.Size(), 0);
  EXPECT_EQ(conv.SourceFormat()->wFormatTag, 85);
  conv.DestFormat()->wFormatTag = 1;
  EXPECT_EQ(acmFormatSuggest(nullptr, conv.SourceFormat(), conv.DestFormat(), 129, 0x10000), 0u);
  EXPECT_EQ(conv.Convert(), 0);
  EXPECT_EQ(conv.Size(), 0);

  // No RIFF at the start: nothing is loaded and the manager refuses.
  std::vector<uint8_t> junk(100, 'x');
  TMemoryStream other(junk);
  TWaveConverter none;
  none.LoadFromWav(other);
  EXPECT_EQ(none.Size(), 0);
  none.DestFormat()->wFormatTag = 1;
  EXPECT_NE(acmFormatSuggest(nullptr, none.SourceFormat(), none.DestFormat(), 129, 0x10000), 0u);
  EXPECT_NE(none.Convert(), 0);
}

TEST(WaveConverter, DamagedMpegDataStillDecodesWhatItCan) {
  TempDir dir;
  const std::string path = dir.File("mp3.wav");
  MakeAudio(path, 2, 32000, 1, "-c:a libmp3lame -b:a 64k -f wav");
  auto file = ReadBytes(path);
  for (size_t i = file.size() / 2; i < file.size() / 2 + 500; ++i) file[i] ^= 0x5A;
  TMemoryStream source(file);
  TWaveConverter conv;
  conv.LoadFromWav(source);
  conv.DestFormat()->wFormatTag = 1;
  ASSERT_EQ(acmFormatSuggest(nullptr, conv.SourceFormat(), conv.DestFormat(), 129, 0x10000), 0u);
  EXPECT_EQ(conv.Convert(), 0);
  EXPECT_GT(conv.Size(), 32000 * 2 * 3 / 2) << "most of the two seconds";
}
