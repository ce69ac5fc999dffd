#include "platform/sample_converter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace tonvale {

const uint8_t* WidenS24(const uint8_t* In, size_t Samples, std::vector<int32_t>& Wide) {
  Wide.resize(Samples);
  for (size_t i = 0; i < Samples; ++i)
    Wide[i] = static_cast<int32_t>((uint32_t(In[3 * i]) << 8) | (uint32_t(In[3 * i + 1]) << 16) |
                                   (uint32_t(In[3 * i + 2]) << 24));
  return reinterpret_cast<const uint8_t*>(Wide.data());
}

TSampleConverter::~TSampleConverter() { swr_free(&FSwr); }

bool TSampleConverter::Open(int Bits, bool Float, int Channels, uint32_t Mask, int Rate, int OutChannels) {
  swr_free(&FSwr);
  FBits = Bits;
  FChannels = Channels;
  FOutChannels = OutChannels;
  AVSampleFormat format;
  if (Float)
    format = Bits == 64 ? AV_SAMPLE_FMT_DBL : AV_SAMPLE_FMT_FLT;
  else
    format = Bits == 8 ? AV_SAMPLE_FMT_U8 : Bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
  if ((Float && Bits != 32 && Bits != 64) || (!Float && Bits != 8 && Bits != 16 && Bits != 24 && Bits != 32) ||
      Channels < 1 || OutChannels < 1 || OutChannels > 2 || Rate <= 0)
    return false;
  AVChannelLayout in{}, out{};
  if (Mask == 0 || av_channel_layout_from_mask(&in, Mask) < 0 || in.nb_channels != Channels) {
    av_channel_layout_uninit(&in);
    av_channel_layout_default(&in, Channels);
  }
  av_channel_layout_default(&out, OutChannels);
  bool ok = swr_alloc_set_opts2(&FSwr, &out, AV_SAMPLE_FMT_S16, Rate, &in, format, Rate, 0, nullptr) >= 0;
  if (ok && (Float || Bits > 16)) ok = av_opt_set_int(FSwr, "dither_method", SWR_DITHER_TRIANGULAR, 0) >= 0;
  if (ok && Channels == 1 && OutChannels == 2) {
    // Both sides at the source's level, as a mono 16-bit source has it.
    const double both[2] = {1.0, 1.0};
    ok = swr_set_matrix(FSwr, both, 1) >= 0;
  }
  ok = ok && swr_init(FSwr) >= 0;
  av_channel_layout_uninit(&in);
  av_channel_layout_uninit(&out);
  if (!ok) swr_free(&FSwr);
  return ok;
}

int TSampleConverter::Convert(const uint8_t* In, int Frames, std::vector<int16_t>& Out) {
  if (!FSwr || Frames <= 0) return 0;
  if (FBits == 24) In = WidenS24(In, static_cast<size_t>(Frames) * FChannels, FWide);
  const int room = swr_get_out_samples(FSwr, Frames);
  Out.resize(static_cast<size_t>(std::max(room, 0)) * FOutChannels);
  uint8_t* dst = reinterpret_cast<uint8_t*>(Out.data());
  const int got = swr_convert(FSwr, &dst, room, &In, Frames);
  Out.resize(static_cast<size_t>(std::max(got, 0)) * FOutChannels);
  return std::max(got, 0);
}

}  // namespace tonvale
