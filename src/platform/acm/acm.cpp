#include "platform/acm/acm.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace tonvale {

struct TAcmStream {
  uint16_t Channels;
  uint32_t Rate;
  uint32_t AvgBytesPerSec;
  // Decoded PCM that did not fit the caller's buffer yet.
  std::vector<uint8_t> Pending;
  size_t PendingFirst = 0;
};

namespace {

constexpr uint32_t kMaxFormatSize = 50;

bool Supported(const TWaveFormatEx* F) {
  return F && F->wFormatTag == WAVE_FORMAT_MPEGLAYER3 && (F->nChannels == 1 || F->nChannels == 2) &&
         F->nSamplesPerSec >= 8000 && F->nSamplesPerSec <= 48000;
}

bool IsPcmFor(const TWaveFormatEx* Dest, const TWaveFormatEx* Source) {
  return Dest && Dest->wFormatTag == WAVE_FORMAT_PCM && Dest->wBitsPerSample == 16 &&
         Dest->nChannels == Source->nChannels && Dest->nSamplesPerSec == Source->nSamplesPerSec;
}

struct CodecDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct ParserDeleter {
  void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct SwrDeleter {
  void operator()(SwrContext* s) const { swr_free(&s); }
};

// Splits MPEG audio data into frames; calls OnFrame(packet) for each.
template <typename F>
bool ForEachFrame(const uint8_t* Data, uint32_t Length, AVCodecContext* Ctx, F OnFrame) {
  std::unique_ptr<AVCodecParserContext, ParserDeleter> parser(av_parser_init(AV_CODEC_ID_MP3));
  std::unique_ptr<AVPacket, PacketDeleter> pkt(av_packet_alloc());
  if (!parser || !pkt) return false;
  // The parser may read a little past its input: give it padded memory.
  std::vector<uint8_t> padded(Length + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  if (Length) std::memcpy(padded.data(), Data, Length);
  const uint8_t* p = padded.data();
  int left = static_cast<int>(Length);
  for (bool flushing = false;;) {
    uint8_t* out = nullptr;
    int outSize = 0;
    int used = av_parser_parse2(parser.get(), Ctx, &out, &outSize, flushing ? nullptr : p,
                                flushing ? 0 : left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (used < 0) return false;
    if (!flushing) {
      p += used;
      left -= used;
    }
    if (outSize > 0) {
      pkt->data = out;
      pkt->size = outSize;
      pkt->duration = parser->duration;
      if (!OnFrame(pkt.get())) return false;
    }
    if (flushing && outSize == 0) return true;
    if (!flushing && left == 0) flushing = true;
  }
}

std::unique_ptr<AVCodecContext, CodecDeleter> OpenDecoder() {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
  if (!codec) return nullptr;
  std::unique_ptr<AVCodecContext, CodecDeleter> ctx(avcodec_alloc_context3(codec));
  if (!ctx || avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  return ctx;
}

}  // namespace

uint32_t acmMetrics(void* Object, uint32_t Metric, void* Value) {
  if (Object != nullptr || !Value) return MMSYSERR_INVALPARAM;
  if (Metric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
  *static_cast<uint32_t*>(Value) = kMaxFormatSize;
  return 0;
}

uint32_t acmFormatSuggest(void*, const TWaveFormatEx* Source, TWaveFormatEx* Dest, uint32_t DestSize,
                          uint32_t Flags) {
  if (!Source || !Dest || DestSize < sizeof(TWaveFormatEx)) return MMSYSERR_INVALPARAM;
  if ((Flags & ~ACM_FORMATSUGGESTF_WFORMATTAG) != 0) return MMSYSERR_INVALFLAG;
  if (!Supported(Source)) return ACMERR_NOTPOSSIBLE;
  if ((Flags & ACM_FORMATSUGGESTF_WFORMATTAG) && Dest->wFormatTag != WAVE_FORMAT_PCM)
    return ACMERR_NOTPOSSIBLE;
  Dest->wFormatTag = WAVE_FORMAT_PCM;
  Dest->nChannels = Source->nChannels;
  Dest->nSamplesPerSec = Source->nSamplesPerSec;
  Dest->wBitsPerSample = 16;
  Dest->nBlockAlign = static_cast<uint16_t>(2 * Source->nChannels);
  Dest->nAvgBytesPerSec = Dest->nBlockAlign * Source->nSamplesPerSec;
  Dest->cbSize = 0;
  return 0;
}

uint32_t acmStreamOpen(HACMSTREAM* Stream, void*, const TWaveFormatEx* Source, const TWaveFormatEx* Dest,
                       void* Filter, uintptr_t Callback, uintptr_t, uint32_t) {
  if (!Stream || Filter || Callback) return MMSYSERR_INVALPARAM;
  *Stream = nullptr;
  if (!Supported(Source) || !IsPcmFor(Dest, Source)) return ACMERR_NOTPOSSIBLE;
  *Stream = new TAcmStream{Source->nChannels, Source->nSamplesPerSec, Source->nAvgBytesPerSec, {}, 0};
  return 0;
}

uint32_t acmStreamSize(HACMSTREAM Stream, uint32_t SourceLength, uint32_t* DestLength, uint32_t Flags) {
  if (!Stream) return MMSYSERR_INVALHANDLE;
  if (!DestLength) return MMSYSERR_INVALPARAM;
  if (Flags != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_INVALFLAG;
  // The PCM the data will roughly decode to, from its average byte rate, with
  // one frame to spare. Conversion hands out any excess on later calls.
  const uint64_t avg = Stream->AvgBytesPerSec ? Stream->AvgBytesPerSec : 16000;
  const uint64_t frames = SourceLength * uint64_t{Stream->Rate} / avg + 1152;
  const uint64_t bytes = frames * Stream->Channels * 2;
  *DestLength = static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX & ~uint64_t{3}));
  return 0;
}

uint32_t acmStreamPrepareHeader(HACMSTREAM Stream, TAcmStreamHeader* Header, uint32_t) {
  if (!Stream) return MMSYSERR_INVALHANDLE;
  if (!Header || Header->cbStruct < sizeof(TAcmStreamHeader)) return MMSYSERR_INVALPARAM;
  Header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
  return 0;
}

uint32_t acmStreamUnprepareHeader(HACMSTREAM Stream, TAcmStreamHeader* Header, uint32_t) {
  if (!Stream) return MMSYSERR_INVALHANDLE;
  if (!Header) return MMSYSERR_INVALPARAM;
  if (!(Header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  Header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  return 0;
}

namespace {

// Decodes MPEG audio data to interleaved 16-bit PCM at the stream's rate and
// channel count, appending to Out. Damaged frames are skipped.
bool DecodeAll(const TAcmStream& Stream, const uint8_t* Data, uint32_t Length, std::vector<uint8_t>& Out) {
  auto ctx = OpenDecoder();
  std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
  if (!ctx || !frame) return false;
  std::unique_ptr<SwrContext, SwrDeleter> swr;
  AVChannelLayout outLayout;
  av_channel_layout_default(&outLayout, Stream.Channels);
  int swrRate = 0;
  AVChannelLayout swrLayout{};
  int swrFormat = -1;

  auto drain = [&]() -> bool {
    for (;;) {
      int rc = avcodec_receive_frame(ctx.get(), frame.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) return true;  // a damaged frame: go on with the next
      if (!swr || frame->sample_rate != swrRate || frame->format != swrFormat ||
          av_channel_layout_compare(&frame->ch_layout, &swrLayout) != 0) {
        SwrContext* raw = nullptr;
        if (swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_S16, static_cast<int>(Stream.Rate),
                                &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                                frame->sample_rate, 0, nullptr) < 0 ||
            swr_init(raw) < 0) {
          swr_free(&raw);
          return false;
        }
        swr.reset(raw);
        swrRate = frame->sample_rate;
        swrFormat = frame->format;
        av_channel_layout_uninit(&swrLayout);
        av_channel_layout_copy(&swrLayout, &frame->ch_layout);
      }
      const int room = swr_get_out_samples(swr.get(), frame->nb_samples);
      const size_t at = Out.size();
      Out.resize(at + static_cast<size_t>(room) * Stream.Channels * 2);
      uint8_t* dst = Out.data() + at;
      int got = swr_convert(swr.get(), &dst, room, const_cast<const uint8_t**>(frame->extended_data),
                            frame->nb_samples);
      Out.resize(at + static_cast<size_t>(std::max(got, 0)) * Stream.Channels * 2);
      av_frame_unref(frame.get());
    }
  };

  bool ok = ForEachFrame(Data, Length, ctx.get(), [&](AVPacket* Pkt) {
    int rc = avcodec_send_packet(ctx.get(), Pkt);
    if (rc < 0 && rc != AVERROR_INVALIDDATA) return false;
    return drain();
  });
  if (ok) {
    avcodec_send_packet(ctx.get(), nullptr);
    ok = drain();
  }
  if (ok && swr) {
    // What the resampler still holds.
    const int room = swr_get_out_samples(swr.get(), 0);
    if (room > 0) {
      const size_t at = Out.size();
      Out.resize(at + static_cast<size_t>(room) * Stream.Channels * 2);
      uint8_t* dst = Out.data() + at;
      int got = swr_convert(swr.get(), &dst, room, nullptr, 0);
      Out.resize(at + static_cast<size_t>(std::max(got, 0)) * Stream.Channels * 2);
    }
  }
  av_channel_layout_uninit(&swrLayout);
  av_channel_layout_uninit(&outLayout);
  return ok;
}

}  // namespace

uint32_t acmStreamConvert(HACMSTREAM Stream, TAcmStreamHeader* Header, uint32_t Flags) {
  if (!Stream) return MMSYSERR_INVALHANDLE;
  if (!Header || (Header->cbSrcLength && !Header->pbSrc) || (Header->cbDstLength && !Header->pbDst))
    return MMSYSERR_INVALPARAM;
  if ((Flags & ~ACM_STREAMCONVERTF_BLOCKALIGN) != 0) return MMSYSERR_INVALFLAG;
  if (!(Header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  if (Header->cbSrcLength > 0) {
    std::vector<uint8_t> decoded;
    if (!DecodeAll(*Stream, Header->pbSrc, Header->cbSrcLength, decoded)) return ACMERR_NOTPOSSIBLE;
    Stream->Pending.erase(Stream->Pending.begin(), Stream->Pending.begin() + Stream->PendingFirst);
    Stream->PendingFirst = 0;
    Stream->Pending.insert(Stream->Pending.end(), decoded.begin(), decoded.end());
  }
  const size_t available = Stream->Pending.size() - Stream->PendingFirst;
  const size_t n = std::min<size_t>(available, Header->cbDstLength);
  if (n) std::memcpy(Header->pbDst, Stream->Pending.data() + Stream->PendingFirst, n);
  Stream->PendingFirst += n;
  Header->cbSrcLengthUsed = Header->cbSrcLength;
  Header->cbDstLengthUsed = static_cast<uint32_t>(n);
  Header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  return 0;
}

uint32_t acmStreamClose(HACMSTREAM Stream, uint32_t) {
  if (!Stream) return MMSYSERR_INVALHANDLE;
  delete Stream;
  return 0;
}

}  // namespace tonvale
