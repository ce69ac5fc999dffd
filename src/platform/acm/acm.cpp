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

struct TAcmDecoder;

struct TAcmStream {
  uint16_t Channels;
  uint32_t Rate;
  uint16_t Tag;         // the source's format: MPEG Layer-3 or GSM 6.10
  uint16_t BlockAlign;  // GSM 6.10: the bytes of a block
  // Decoded PCM that did not fit the caller's buffer yet.
  std::vector<uint8_t> Pending;
  size_t PendingFirst = 0;
  // The decoder, kept from piece to piece; made by the first conversion.
  std::unique_ptr<TAcmDecoder> Decoder;
  // The frame parser of acmStreamMeasure, kept from piece to piece.
  std::unique_ptr<TAcmDecoder> Measurer;
  ~TAcmStream();
};

namespace {

constexpr uint32_t kMaxFormatSize = 50;

// GSM 6.10 as Microsoft packs it: two frames, 320 samples, in 65 bytes.
constexpr uint16_t kGsmBlockAlign = 65;
constexpr int kGsmBlockSamples = 320;

bool Supported(const TWaveFormatEx* F) {
  if (F && F->wFormatTag == WAVE_FORMAT_GSM610)
    return F->nChannels == 1 && F->nBlockAlign == kGsmBlockAlign && F->nSamplesPerSec >= 1000 &&
           F->nSamplesPerSec <= 48000;
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

std::unique_ptr<AVCodecContext, CodecDeleter> OpenDecoder(const TAcmStream& Stream) {
  const bool gsm = Stream.Tag == WAVE_FORMAT_GSM610;
  const AVCodec* codec = avcodec_find_decoder(gsm ? AV_CODEC_ID_GSM_MS : AV_CODEC_ID_MP3);
  if (!codec) return nullptr;
  std::unique_ptr<AVCodecContext, CodecDeleter> ctx(avcodec_alloc_context3(codec));
  if (!ctx) return nullptr;
  if (gsm) {
    // The decoder takes its format from the container.
    ctx->sample_rate = static_cast<int>(Stream.Rate);
    av_channel_layout_default(&ctx->ch_layout, 1);
    ctx->block_align = Stream.BlockAlign;
  }
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  return ctx;
}

}  // namespace

uint32_t acmMetrics(void* Object, uint32_t Metric, void* Value) {
  if (Object != nullptr || !Value) return MMSYSERR_INVALPARAM;
  if (Metric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
  *static_cast<uint32_t*>(Value) = kMaxFormatSize;
  return 0;
}

uint32_t acmFormatSuggest(void*, const TWaveFormatEx* Source, TWaveFormatEx* Dest, uint32_t DestSize, uint32_t Flags) {
  if (!Source || !Dest || DestSize < sizeof(TWaveFormatEx)) return MMSYSERR_INVALPARAM;
  if ((Flags & ~ACM_FORMATSUGGESTF_WFORMATTAG) != 0) return MMSYSERR_INVALFLAG;
  if (!Supported(Source)) return ACMERR_NOTPOSSIBLE;
  if ((Flags & ACM_FORMATSUGGESTF_WFORMATTAG) && Dest->wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
  Dest->wFormatTag = WAVE_FORMAT_PCM;
  Dest->nChannels = Source->nChannels;
  Dest->nSamplesPerSec = Source->nSamplesPerSec;
  Dest->wBitsPerSample = 16;
  Dest->nBlockAlign = static_cast<uint16_t>(2 * Source->nChannels);
  Dest->nAvgBytesPerSec = Dest->nBlockAlign * Source->nSamplesPerSec;
  Dest->cbSize = 0;
  return 0;
}

uint32_t acmStreamOpen(HACMSTREAM* Stream, void*, const TWaveFormatEx* Source, const TWaveFormatEx* Dest, void* Filter,
                       uintptr_t Callback, uintptr_t, uint32_t) {
  if (!Stream || Filter || Callback) return MMSYSERR_INVALPARAM;
  *Stream = nullptr;
  if (!Supported(Source) || !IsPcmFor(Dest, Source)) return ACMERR_NOTPOSSIBLE;
  *Stream = new TAcmStream{
      Source->nChannels, Source->nSamplesPerSec, Source->wFormatTag, Source->nBlockAlign, {}, 0, nullptr, nullptr};
  return 0;
}

uint32_t acmStreamSize(HACMSTREAM Stream, uint32_t SourceLength, uint32_t* DestLength, uint32_t Flags) {
  if (!Stream) return MMSYSERR_INVALHANDLE;
  if (!DestLength) return MMSYSERR_INVALPARAM;
  if (Flags != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_INVALFLAG;
  // A destination for a piece of the PCM, sized from the source's length
  // alone (never from the header's byte rate): about what 128 kbit/s data
  // decodes to, with one frame to spare, and bounded. Conversion hands out
  // the rest on later calls.
  const uint64_t frames = std::min<uint64_t>(SourceLength, 1u << 20) * 11 / (2 * Stream->Channels) + 1152;
  *DestLength = static_cast<uint32_t>(frames * Stream->Channels * 2);
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

// Parses MPEG audio data into frames and decodes them to interleaved 16-bit
// PCM at the stream's rate and channel count, a piece at a time: the parser
// keeps a frame that straddles two pieces. Damaged frames are skipped. GSM
// 6.10 comes in blocks of a fixed size, cut here instead of by a parser.
struct TAcmDecoder {
  explicit TAcmDecoder(const TAcmStream& Stream)
      : Gsm(Stream.Tag == WAVE_FORMAT_GSM610),
        Ctx(OpenDecoder(Stream)),
        Parser(Gsm ? nullptr : av_parser_init(AV_CODEC_ID_MP3)) {}

  bool Gsm;
  std::unique_ptr<AVCodecContext, CodecDeleter> Ctx;
  std::unique_ptr<AVCodecParserContext, ParserDeleter> Parser;
  std::vector<uint8_t> Block;  // GSM: the part of a block the last piece ended in
  std::unique_ptr<AVPacket, PacketDeleter> Packet{av_packet_alloc()};
  std::unique_ptr<AVFrame, FrameDeleter> Frame{av_frame_alloc()};
  std::unique_ptr<SwrContext, SwrDeleter> Swr;
  AVChannelLayout SwrLayout{};
  int SwrRate = 0, SwrFormat = -1;
  std::vector<uint8_t> Padded;
  bool Ended = false;

  ~TAcmDecoder() { av_channel_layout_uninit(&SwrLayout); }
  bool Ok() const { return Ctx && (Parser || Gsm) && Packet && Frame; }

  // Calls OnFrame(packet) for each whole frame of the piece; with Last, also
  // for the frame the parser still holds.
  template <typename F>
  bool Parse(const uint8_t* Data, uint32_t Length, bool Last, F OnFrame) {
    if (Gsm) return CutBlocks(Data, Length, OnFrame);
    // The parser may read a little past its input: give it padded memory.
    Padded.assign(Length + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    if (Length) std::memcpy(Padded.data(), Data, Length);
    const uint8_t* p = Padded.data();
    int left = static_cast<int>(Length);
    for (bool flushing = left == 0 && Last;;) {
      if (!flushing && left == 0) return true;
      uint8_t* out = nullptr;
      int outSize = 0;
      const int used = av_parser_parse2(Parser.get(), Ctx.get(), &out, &outSize, flushing ? nullptr : p,
                                        flushing ? 0 : left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      if (used < 0) return false;
      if (!flushing) {
        p += used;
        left -= used;
      }
      if (outSize > 0) {
        Packet->data = out;
        Packet->size = outSize;
        Packet->duration = Parser->duration;
        if (!OnFrame(Packet.get())) return false;
      }
      if (flushing && outSize == 0) return true;
      if (!flushing && left == 0 && Last) flushing = true;
    }
  }

  // GSM: each whole block of the data is a packet; a short last block is
  // not audio.
  template <typename F>
  bool CutBlocks(const uint8_t* Data, uint32_t Length, F OnFrame) {
    Block.insert(Block.end(), Data, Data + Length);
    size_t at = 0;
    for (; Block.size() - at >= kGsmBlockAlign; at += kGsmBlockAlign) {
      Padded.assign(Block.begin() + static_cast<long>(at), Block.begin() + static_cast<long>(at + kGsmBlockAlign));
      Padded.resize(kGsmBlockAlign + AV_INPUT_BUFFER_PADDING_SIZE, 0);
      Packet->data = Padded.data();
      Packet->size = kGsmBlockAlign;
      Packet->duration = kGsmBlockSamples;
      if (!OnFrame(Packet.get())) return false;
    }
    Block.erase(Block.begin(), Block.begin() + static_cast<long>(at));
    return true;
  }

  bool Drain(const TAcmStream& Stream, std::vector<uint8_t>& Out) {
    for (;;) {
      int rc = avcodec_receive_frame(Ctx.get(), Frame.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) return true;  // a damaged frame: go on with the next
      AVFrame* f = Frame.get();
      if (!Swr || f->sample_rate != SwrRate || f->format != SwrFormat ||
          av_channel_layout_compare(&f->ch_layout, &SwrLayout) != 0) {
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, Stream.Channels);
        SwrContext* raw = nullptr;
        const bool made =
            swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_S16, static_cast<int>(Stream.Rate), &f->ch_layout,
                                static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr) >= 0 &&
            swr_init(raw) >= 0;
        av_channel_layout_uninit(&outLayout);
        if (!made) {
          swr_free(&raw);
          return false;
        }
        Swr.reset(raw);
        SwrRate = f->sample_rate;
        SwrFormat = f->format;
        av_channel_layout_uninit(&SwrLayout);
        av_channel_layout_copy(&SwrLayout, &f->ch_layout);
      }
      Convert(Stream, const_cast<const uint8_t**>(f->extended_data), f->nb_samples, Out);
      av_frame_unref(f);
    }
  }

  void Convert(const TAcmStream& Stream, const uint8_t** In, int Samples, std::vector<uint8_t>& Out) {
    const int room = swr_get_out_samples(Swr.get(), Samples);
    if (room <= 0) return;
    const size_t at = Out.size();
    Out.resize(at + static_cast<size_t>(room) * Stream.Channels * 2);
    uint8_t* dst = Out.data() + at;
    const int got = swr_convert(Swr.get(), &dst, room, In, Samples);
    Out.resize(at + static_cast<size_t>(std::max(got, 0)) * Stream.Channels * 2);
  }

  // Decodes one piece of source into Out; Last ends the data.
  bool Decode(const TAcmStream& Stream, const uint8_t* Data, uint32_t Length, bool Last, std::vector<uint8_t>& Out) {
    if (Ended) return Length == 0;
    bool ok = Parse(Data, Length, Last, [&](AVPacket* Pkt) {
      int rc = avcodec_send_packet(Ctx.get(), Pkt);
      if (rc < 0 && rc != AVERROR_INVALIDDATA) return false;
      return Drain(Stream, Out);
    });
    if (ok && Last) {
      Ended = true;
      avcodec_send_packet(Ctx.get(), nullptr);
      ok = Drain(Stream, Out);
      // What the resampler still holds.
      if (ok && Swr) Convert(Stream, nullptr, 0, Out);
    }
    return ok;
  }
};

TAcmStream::~TAcmStream() = default;

uint32_t acmStreamConvert(HACMSTREAM Stream, TAcmStreamHeader* Header, uint32_t Flags) {
  if (!Stream) return MMSYSERR_INVALHANDLE;
  if (!Header || (Header->cbSrcLength && !Header->pbSrc) || (Header->cbDstLength && !Header->pbDst))
    return MMSYSERR_INVALPARAM;
  if ((Flags & ~(ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END)) != 0)
    return MMSYSERR_INVALFLAG;
  if (!(Header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  if (Header->cbSrcLength > 0 || (Flags & ACM_STREAMCONVERTF_END)) {
    if (!Stream->Decoder) {
      Stream->Decoder = std::make_unique<TAcmDecoder>(*Stream);
      if (!Stream->Decoder->Ok()) return ACMERR_NOTPOSSIBLE;
    }
    Stream->Pending.erase(Stream->Pending.begin(), Stream->Pending.begin() + Stream->PendingFirst);
    Stream->PendingFirst = 0;
    if (!Stream->Decoder->Decode(*Stream, Header->pbSrc, Header->cbSrcLength, Flags & ACM_STREAMCONVERTF_END,
                                 Stream->Pending))
      return ACMERR_NOTPOSSIBLE;
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

uint32_t acmStreamMeasure(HACMSTREAM Stream, const uint8_t* Source, uint32_t Length, bool Last, uint64_t* DestBytes) {
  if (!Stream) return MMSYSERR_INVALHANDLE;
  if (!DestBytes || (Length && !Source)) return MMSYSERR_INVALPARAM;
  if (!Stream->Measurer) {
    Stream->Measurer = std::make_unique<TAcmDecoder>(*Stream);
    if (!Stream->Measurer->Ok()) return ACMERR_NOTPOSSIBLE;
  }
  TAcmDecoder& m = *Stream->Measurer;
  const bool ok = m.Parse(Source, Length, Last, [&](AVPacket* Pkt) {
    // A frame of another rate is resampled to the stream's.
    const int rate = m.Ctx->sample_rate > 0 ? m.Ctx->sample_rate : static_cast<int>(Stream->Rate);
    const uint64_t samples = static_cast<uint64_t>(std::max<int64_t>(Pkt->duration, 0)) * Stream->Rate / rate;
    *DestBytes += samples * Stream->Channels * 2;
    return true;
  });
  return ok ? 0 : ACMERR_NOTPOSSIBLE;
}

uint32_t acmStreamClose(HACMSTREAM Stream, uint32_t) {
  if (!Stream) return MMSYSERR_INVALHANDLE;
  delete Stream;
  return 0;
}

}  // namespace tonvale
