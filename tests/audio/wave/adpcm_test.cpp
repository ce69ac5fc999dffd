#include "audio/wave/adpcm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace tonvale;

namespace {

std::vector<int16_t> Decode(const std::vector<uint8_t>& Block, int Channels) {
  std::vector<int16_t> out(ImaBlockSamples(Channels, static_cast<int>(Block.size())) * Channels);
  int n = DecodeImaBlock(Block.data(), Channels, static_cast<int>(Block.size()), out.data());
  EXPECT_EQ(static_cast<size_t>(n * Channels), out.size());
  return out;
}

// A mono IMA block: first sample, step index, then every data byte = Fill.
std::vector<uint8_t> MonoBlock(int16_t First, uint8_t Index, uint8_t Fill, int Size = 256) {
  std::vector<uint8_t> b(Size, Fill);
  b[0] = static_cast<uint8_t>(First & 0xFF);
  b[1] = static_cast<uint8_t>((First >> 8) & 0xFF);
  b[2] = Index;
  b[3] = 0;
  return b;
}

}  // namespace

TEST(ImaAdpcm, BlockSizesGiveTheirSampleCounts) {
  EXPECT_EQ(Decode(MonoBlock(0, 0, 0), 1).size(), 505u);
  std::vector<uint8_t> stereo(2048, 0);
  EXPECT_EQ(Decode(stereo, 2).size(), 2u * 2041);
  EXPECT_EQ(ImaBlockSamples(1, 1024), 2041);
}

TEST(ImaAdpcm, PredictorAndIndexStayInRange) {
  // Nibble 7 (+) over and over from the top index climbs to 32767 and stops.
  auto up = Decode(MonoBlock(30000, 88, 0x77), 1);
  EXPECT_EQ(up.back(), 32767);
  // Nibble 15 (-) stops at -32767, not -32768.
  auto down = Decode(MonoBlock(-30000, 88, 0xFF), 1);
  EXPECT_EQ(*std::min_element(down.begin(), down.end()), -32767);
  // Nibble 0 from index 0 stays at index 0: each step adds 7 div 8 = 0.
  auto flat = Decode(MonoBlock(5, 0, 0x00), 1);
  for (int16_t s : flat) EXPECT_EQ(s, 5);
  // Index 88 with nibble 7 keeps step 32767: the first step jumps by the whole step.
  auto top = Decode(MonoBlock(0, 88, 0x77, 5), 1);
  EXPECT_EQ(top[1], 32767);
  // A step index beyond the table is taken as 88.
  EXPECT_EQ(Decode(MonoBlock(0, 200, 0x77, 5), 1)[1], 32767);
}

TEST(ImaAdpcm, EncodeSilenceAndRoundTrips) {
  for (int channels : {1, 2}) {
    const int blockSize = 512;
    const int spb = ImaBlockSamples(channels, blockSize);
    std::vector<int16_t> silence(spb * channels, 0);
    std::vector<uint8_t> block(blockSize);
    uint8_t index[2] = {0, 0};
    EncodeImaBlock(silence.data(), channels, blockSize, index, block.data());
    for (int i = 4 * channels; i < blockSize; ++i) EXPECT_EQ(block[i], 0) << i;
    EXPECT_EQ(index[0], 0);

    // A tone encodes and decodes close to itself, first samples exactly.
    std::vector<int16_t> tone(spb * channels);
    for (int i = 0; i < spb; ++i)
      for (int c = 0; c < channels; ++c)
        tone[i * channels + c] = static_cast<int16_t>(12000 * std::sin(0.03 * i + c) + 77);
    EncodeImaBlock(tone.data(), channels, blockSize, index, block.data());
    EXPECT_GT(index[0], 0) << "the index adapted to the tone";
    auto back = Decode(block, channels);
    for (int c = 0; c < channels; ++c) EXPECT_EQ(back[c], tone[c]);
    double err = 0, sig = 0;
    for (size_t i = 0; i < tone.size(); ++i) {
      err += std::pow(back[i] - tone[i], 2);
      sig += std::pow(tone[i], 2);
    }
    EXPECT_GT(10 * std::log10(sig / err), 25) << channels;
  }
}

TEST(MsAdpcm, DecodesWithTheFilesCoefficients) {
  const TMsCoef coefs[7] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
  // Mono block: predictor 1, delta 16, sample1 100, sample2 50, then data.
  std::vector<uint8_t> block = {1, 16, 0, 100, 0, 50, 0, 0x00, 0x12};
  std::vector<int16_t> out(6);
  int n = DecodeMsBlock(block.data(), 1, 6, coefs, 7, out.data());
  ASSERT_EQ(n, 6);
  EXPECT_EQ(out[0], 50);
  EXPECT_EQ(out[1], 100);
  // (100*512 - 50*256)/256 = 150, nibble 0: delta stays at the floor of 16.
  EXPECT_EQ(out[2], 150);
  EXPECT_EQ(out[3], 200);
  // Nibble 1: (200*512 - 150*256)/256 = 250, + 16*1 = 266.
  EXPECT_EQ(out[4], 266);
  // Nibble 2 with delta 16*230/256 -> 14 -> floor 16: 2*266-200 + 32 = 364.
  EXPECT_EQ(out[5], 364);
}

TEST(MsAdpcm, OddSamplesPerBlockAndBadPredictors) {
  const TMsCoef coefs[2] = {{256, 0}, {512, -256}};
  std::vector<uint8_t> mono = {0, 16, 0, 10, 0, 10, 0, 0x11, 0x11};
  std::vector<int16_t> out(8, 99);
  EXPECT_EQ(DecodeMsBlock(mono.data(), 1, 7, coefs, 2, out.data()), 6) << "one fewer than an odd count";
  // A predictor index with no pair decodes its channel to silence.
  std::vector<uint8_t> stereo = {5, 1, 16, 0, 16, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0x77, 0x77};
  std::vector<int16_t> st(8);
  EXPECT_EQ(DecodeMsBlock(stereo.data(), 2, 4, coefs, 2, st.data()), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(st[2 * i], 0) << "left, predictor 5 of 2";
    EXPECT_NE(st[2 * i + 1], 0) << "right, predictor 1";
  }
}

// Regression: the MS ADPCM step grew without bound over a long block and
// overflowed (block align 65535); it is now held as the reference decoder
// holds it, so the samples saturate instead of wrapping.
TEST(MsAdpcm, LongBlockOfLargestStepsSaturates) {
  const int spb = 8000;
  std::vector<uint8_t> block(7 + (spb - 2) / 2, 0x88);  // every nibble -8
  block[0] = 0;                                         // predictor (256, 0)
  block[1] = 0x00, block[2] = 0x40;                     // delta 16384
  block[3] = block[4] = block[5] = block[6] = 0;
  const TMsCoef coefs[] = {{256, 0}};
  std::vector<int16_t> out(spb);
  ASSERT_EQ(DecodeMsBlock(block.data(), 1, spb, coefs, 1, out.data()), spb);
  for (int i = 2; i < spb; ++i) ASSERT_EQ(out[i], -32768) << i;
}

// Regression: a stereo block size of 4 modulo 8 (516) made the encoder
// write 2 bytes past the block. Every size it may be handed stays inside.
TEST(ImaAdpcm, EncoderStaysInsideBlocksOfAnySize) {
  for (int channels : {1, 2}) {
    for (int size : {8, 12, 516, 520, 1020, 1026}) {
      const int frames = ImaBlockSamples(channels, size);
      std::vector<int16_t> pcm(static_cast<size_t>(frames) * channels);
      for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>((i * 7919) % 20000 - 10000);
      std::vector<uint8_t> block(size + 16, 0xA5);
      uint8_t steps[2] = {0, 0};
      EncodeImaBlock(pcm.data(), channels, size, steps, block.data());
      for (int i = size; i < size + 16; ++i) ASSERT_EQ(block[i], 0xA5) << channels << " ch, size " << size;
    }
  }
}
