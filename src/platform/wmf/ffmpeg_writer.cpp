// The writer and file sink of the FFmpeg runtime: encodes PCM to WMA in an
// ASF file with FFmpeg's wmav2/wmav1 encoders.

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "platform/handle_stream.h"
#include "platform/sample_converter.h"
#include "platform/text.h"
#include "platform/wmf/ffmpeg_io.h"
#include "platform/wmf/stream_adapter.h"
#include "platform/wmf/ffmpeg_codecs.h"
#include "platform/wmf/ffmpeg_runtime.h"

namespace tonvale::wmf {
namespace {

// A value as an ASF header holds it: at most kLongestAsfValue UTF-16 units before its
// terminator (its size is 16 bits), cut before a character, not inside one.
constexpr size_t kLongestAsfValue = 32766;
std::string AsfValue(const std::string& Text) {
  std::u16string wide = Utf8ToUtf16(Text);
  if (wide.size() <= kLongestAsfValue) return Text;
  size_t n = kLongestAsfValue;
  if (wide[n - 1] >= 0xD800 && wide[n - 1] < 0xDC00) --n;
  return Utf16ToUtf8(wide.substr(0, n));
}

// The file sink writes through Tonvale's own file stream: no path ever
// reaches FFmpeg's protocols.
class TFileSink : public IWMWriterFileSink {
 public:
  ~TFileSink() override { Close(); }
  HRESULT Open(const std::u16string& FileName) override {
    Close();
    const std::string path = Utf16ToUtf8(FileName);
    const int fd = path.empty() ? -1 : THandleStream::Open(path, TFileAccess::ReadWrite, TFileSharing::Exclusive, true);
    if (fd < 0) return NS_E_FILE_OPEN_FAILED;
    Owned = std::make_unique<THandleStream>(fd);
    return OpenStream(std::make_shared<TStreamAdapter>(Owned.get()));
  }
  HRESULT OpenStream(const std::shared_ptr<IStream>& Stream) override {
    if (!Stream) return E_INVALIDARG;
    FStream = Stream;
    Io = std::make_unique<TAvioStream>(Stream, true);
    if (!Io->Ok()) {
      Close();
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }
  // Writes out what FFmpeg buffered; false when the stream refused it.
  bool Close() {
    bool ok = true;
    if (Io && Io->Context()) {
      avio_flush(Io->Context());
      ok = Io->Context()->error >= 0;
    }
    Io.reset();
    FStream.reset();
    Owned.reset();
    return ok;
  }
  AVIOContext* Context() const { return Io ? Io->Context() : nullptr; }

 private:
  std::unique_ptr<THandleStream> Owned;
  std::shared_ptr<IStream> FStream;
  std::unique_ptr<TAvioStream> Io;
};

class TWriter : public IWMWriter {
 public:
  ~TWriter() override { Release(); }

  HRESULT SetProfile(IWMProfile* Profile) override;
  HRESULT GetInputCount(uint32_t* Inputs) override {
    if (!Inputs) return E_INVALIDARG;
    *Inputs = FConfig ? 1 : 0;
    return S_OK;
  }
  HRESULT GetInputProps(uint32_t Input, std::shared_ptr<IWMInputMediaProps>* Props) override {
    if (!Props || Input != 0 || !FConfig) return E_INVALIDARG;
    *Props = std::make_shared<TMediaProps>(FInputType);
    return S_OK;
  }
  HRESULT SetInputProps(uint32_t Input, IWMInputMediaProps* Props) override;
  HRESULT BeginWriting() override;
  HRESULT AllocateSample(uint32_t Size, std::shared_ptr<INSSBuffer>* Sample) override {
    if (!Sample) return E_INVALIDARG;
    *Sample = std::make_shared<TMemorySample>(Size);
    return S_OK;
  }
  HRESULT WriteSample(uint32_t Input, uint64_t SampleTime, uint32_t Flags, INSSBuffer* Sample) override;
  HRESULT EndWriting() override;
  HRESULT AddSink(std::shared_ptr<IWMWriterSink> Sink) override {
    auto file = std::dynamic_pointer_cast<TFileSink>(Sink);
    if (!file) return E_INVALIDARG;
    FSink = file;
    return S_OK;
  }
  std::shared_ptr<IWMHeaderInfo> HeaderInfo() override { return FAttributes; }

 private:
  // Converts Frames of input PCM into the FIFO.
  bool Push(const uint8_t* Data, int Frames);
  // Encodes whole frames from the FIFO; with Flush also the rest, padded.
  bool Drain(bool Flush);
  bool Encode(AVFrame* Frame);
  void Release();

  std::shared_ptr<TFileSink> FSink;
  std::shared_ptr<TStreamConfig> FConfig;
  std::shared_ptr<TAttributes> FAttributes = std::make_shared<TAttributes>();
  TWMMediaType FInputType;
  AVFormatContext* FFormat = nullptr;
  AVCodecContext* FCodec = nullptr;
  SwrContext* FSwr = nullptr;
  AVAudioFifo* FFifo = nullptr;
  AVFrame* FFrame = nullptr;
  AVPacket* FPacket = nullptr;
  int64_t FNextPts = 0;
  bool FWriting = false;
  std::vector<int32_t> FWide;  // 24-bit input widened to 32 bits
  bool FInputFloat = false;
  uint32_t FInputMask = 0;
};

HRESULT TWriter::SetProfile(IWMProfile* Profile) {
  auto* profile = dynamic_cast<TProfile*>(Profile);
  if (!profile || profile->Streams.size() != 1 || FWriting) return E_INVALIDARG;
  FConfig = profile->Streams[0];
  const TWaveFormatEx* w = FConfig->Type().Wave();
  TWaveFormatEx pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.nChannels = w->nChannels;
  pcm.nSamplesPerSec = w->nSamplesPerSec;
  pcm.wBitsPerSample = 16;
  pcm.nBlockAlign = static_cast<uint16_t>(2 * w->nChannels);
  pcm.nAvgBytesPerSec = pcm.nBlockAlign * pcm.nSamplesPerSec;
  FInputType = AudioWaveType(TSubtype::PCM, pcm);
  return S_OK;
}

HRESULT TWriter::SetInputProps(uint32_t Input, IWMInputMediaProps* Props) {
  if (!Props || Input != 0 || !FConfig || FWriting) return E_INVALIDARG;
  uint32_t size = 0;
  TWMMediaType type;
  if (Props->GetMediaType(nullptr, &size) != S_OK || Props->GetMediaType(&type, &size) != S_OK) return E_INVALIDARG;
  const TWaveFormatEx* w = type.IsWaveFormat() ? type.Wave() : nullptr;
  if (!w) return E_INVALIDARG;
  // PCM or IEEE float, plain or extensible (the sub-format and the speaker
  // mask follow the record).
  uint16_t tag = w->wFormatTag;
  uint32_t mask = 0;
  if (tag == WAVE_FORMAT_EXTENSIBLE) {
    if (w->cbSize < 22 || type.Format.size() < sizeof(TWaveFormatEx) + 22) return E_INVALIDARG;
    const uint8_t* more = type.Format.data() + sizeof(TWaveFormatEx);
    mask = more[2] | more[3] << 8 | more[4] << 16 | uint32_t(more[5]) << 24;
    tag = static_cast<uint16_t>(more[6] | more[7] << 8);
  }
  const int bits = w->wBitsPerSample;
  const bool isFloat = tag == WAVE_FORMAT_IEEE_FLOAT;
  if ((tag != WAVE_FORMAT_PCM && !isFloat) || w->nChannels == 0 || w->nSamplesPerSec == 0 ||
      (isFloat ? bits != 32 && bits != 64 : bits != 8 && bits != 16 && bits != 24 && bits != 32))
    return E_INVALIDARG;
  FInputType = type;
  FInputFloat = isFloat;
  FInputMask = mask;
  return S_OK;
}

HRESULT TWriter::BeginWriting() {
  if (!FConfig || !FSink || !FSink->Context() || FWriting) return NS_E_INVALID_REQUEST;
  const TWaveFormatEx* out = FConfig->Type().Wave();
  const TWaveFormatEx* in = FInputType.Wave();
  const AVCodec* codec = avcodec_find_encoder_by_name(kCodecs[FConfig->Codec].Encoder);
  if (!codec || avformat_alloc_output_context2(&FFormat, nullptr, "asf", nullptr) < 0) {
    Release();
    return E_FAIL;
  }
  FFormat->pb = FSink->Context();
  // Custom I/O, and no encoder attribute beside the ones set here.
  FFormat->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_BITEXACT;
  // Timestamps go in as they are (the lead frame's is negative).
  FFormat->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
  AVStream* st = avformat_new_stream(FFormat, nullptr);
  FCodec = avcodec_alloc_context3(codec);
  if (!st || !FCodec) {
    Release();
    return E_OUTOFMEMORY;
  }
  FCodec->sample_fmt = AV_SAMPLE_FMT_FLTP;
  FCodec->sample_rate = static_cast<int>(out->nSamplesPerSec);
  av_channel_layout_default(&FCodec->ch_layout, out->nChannels);
  FCodec->bit_rate = FConfig->Bitrate();
  FCodec->time_base = AVRational{1, FCodec->sample_rate};
  if (FFormat->oformat->flags & AVFMT_GLOBALHEADER) FCodec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(FCodec, codec, nullptr) < 0 || avcodec_parameters_from_context(st->codecpar, FCodec) < 0) {
    Release();
    return E_FAIL;
  }
  st->time_base = FCodec->time_base;
  // The muxer keeps one value of a name: the first. The tags of a file are
  // the tag writer's, once the file is complete.
  for (const auto& [name, text] : FAttributes->Strings())
    av_dict_set(&FFormat->metadata, name.c_str(), AsfValue(text).c_str(), AV_DICT_DONT_OVERWRITE);

  // The speakers the mask names, else the usual layout of the count; a
  // larger input is down-mixed with the library's standard matrix.
  AVChannelLayout inLayout{};
  if (FInputMask == 0 || av_channel_layout_from_mask(&inLayout, FInputMask) < 0 ||
      inLayout.nb_channels != in->nChannels) {
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_default(&inLayout, in->nChannels);
  }
  const AVSampleFormat inFormat = FInputFloat ? (in->wBitsPerSample == 64 ? AV_SAMPLE_FMT_DBL : AV_SAMPLE_FMT_FLT)
                                  : in->wBitsPerSample == 8  ? AV_SAMPLE_FMT_U8
                                  : in->wBitsPerSample == 16 ? AV_SAMPLE_FMT_S16
                                                             : AV_SAMPLE_FMT_S32;
  int rc = swr_alloc_set_opts2(&FSwr, &FCodec->ch_layout, AV_SAMPLE_FMT_FLTP, FCodec->sample_rate, &inLayout, inFormat,
                               static_cast<int>(in->nSamplesPerSec), 0, nullptr);
  av_channel_layout_uninit(&inLayout);
  // A surround source is down-mixed at the level ffmpeg gives it: the matrix
  // is scaled so that no output can pass full scale.
  if (rc >= 0 && in->nChannels > 2) rc = av_opt_set_double(FSwr, "rematrix_maxval", 1.0, 0);
  FFifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, out->nChannels, FCodec->frame_size * 4);
  FFrame = av_frame_alloc();
  FPacket = av_packet_alloc();
  if (rc < 0 || swr_init(FSwr) < 0 || !FFifo || !FFrame || !FPacket || avformat_write_header(FFormat, nullptr) < 0) {
    Release();
    return E_FAIL;
  }
  // FFmpeg's decoder drops the first frame a file holds: lead with a frame
  // of silence, so what follows plays back aligned with its source.
  std::vector<float> silence(FCodec->frame_size, 0.0f);
  std::vector<void*> planes(out->nChannels, silence.data());
  av_audio_fifo_write(FFifo, planes.data(), FCodec->frame_size);
  // The lead frame is stamped before time 0, so the file's duration is that
  // of what plays.
  FNextPts = -FCodec->frame_size;
  FWriting = true;
  return S_OK;
}

bool TWriter::Push(const uint8_t* Data, int Frames) {
  const int room = swr_get_out_samples(FSwr, Frames);
  if (room <= 0) return true;
  const int channels = FCodec->ch_layout.nb_channels;
  std::vector<float> buffer(static_cast<size_t>(room) * channels);
  std::vector<uint8_t*> planes(channels);
  for (int c = 0; c < channels; ++c)
    planes[c] = reinterpret_cast<uint8_t*>(buffer.data() + static_cast<size_t>(c) * room);
  const uint8_t* in[1] = {Data};
  int got = swr_convert(FSwr, planes.data(), room, Data ? in : nullptr, Frames);
  if (got < 0) return false;
  if (got > 0 && av_audio_fifo_write(FFifo, reinterpret_cast<void**>(planes.data()), got) < got) return false;
  return true;
}

bool TWriter::Encode(AVFrame* Frame) {
  if (avcodec_send_frame(FCodec, Frame) < 0) return false;
  for (;;) {
    int rc = avcodec_receive_packet(FCodec, FPacket);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return false;
    FPacket->stream_index = 0;
    av_packet_rescale_ts(FPacket, FCodec->time_base, FFormat->streams[0]->time_base);
    if (av_interleaved_write_frame(FFormat, FPacket) < 0) return false;
  }
}

bool TWriter::Drain(bool Flush) {
  const int frameSize = FCodec->frame_size;
  const int channels = FCodec->ch_layout.nb_channels;
  while (av_audio_fifo_size(FFifo) >= frameSize || (Flush && av_audio_fifo_size(FFifo) > 0)) {
    av_frame_unref(FFrame);
    FFrame->nb_samples = frameSize;
    FFrame->format = FCodec->sample_fmt;
    FFrame->sample_rate = FCodec->sample_rate;
    av_channel_layout_copy(&FFrame->ch_layout, &FCodec->ch_layout);
    if (av_frame_get_buffer(FFrame, 0) < 0) return false;
    const int n = av_audio_fifo_read(FFifo, reinterpret_cast<void**>(FFrame->data), frameSize);
    // The last frame is padded with silence: the encoder takes whole frames.
    for (int c = 0; c < channels && n < frameSize; ++c)
      std::fill(reinterpret_cast<float*>(FFrame->data[c]) + std::max(n, 0),
                reinterpret_cast<float*>(FFrame->data[c]) + frameSize, 0.0f);
    FFrame->pts = FNextPts;
    FNextPts += frameSize;
    if (!Encode(FFrame)) return false;
  }
  return true;
}

HRESULT TWriter::WriteSample(uint32_t Input, uint64_t, uint32_t, INSSBuffer* Sample) {
  if (!FWriting || Input != 0 || !Sample) return NS_E_INVALID_REQUEST;
  uint8_t* data = nullptr;
  uint32_t length = 0;
  if (Sample->GetBufferAndLength(&data, &length) != S_OK) return E_INVALIDARG;
  const TWaveFormatEx* in = FInputType.Wave();
  const uint32_t frameBytes = in->wBitsPerSample / 8 * in->nChannels;
  const int frames = static_cast<int>(length / frameBytes);
  if (frames == 0) return S_OK;
  const uint8_t* pcm = data;
  if (in->wBitsPerSample == 24 && !FInputFloat)
    pcm = WidenS24(data, static_cast<size_t>(frames) * in->nChannels, FWide);
  return Push(pcm, frames) && Drain(false) ? S_OK : E_FAIL;
}

HRESULT TWriter::EndWriting() {
  if (!FWriting) return NS_E_INVALID_REQUEST;
  bool ok = Push(nullptr, 0) && Drain(true) && Encode(nullptr);
  ok = av_write_trailer(FFormat) >= 0 && ok;
  ok = FSink->Close() && ok;
  Release();
  return ok ? S_OK : E_FAIL;
}

void TWriter::Release() {
  FWriting = false;
  if (FFormat) {
    FFormat->pb = nullptr;  // the sink's
    avformat_free_context(FFormat);
    FFormat = nullptr;
  }
  avcodec_free_context(&FCodec);
  swr_free(&FSwr);
  if (FFifo) av_audio_fifo_free(FFifo);
  FFifo = nullptr;
  av_frame_free(&FFrame);
  av_packet_free(&FPacket);
}

}  // namespace

HRESULT CreateWriter(std::shared_ptr<IWMWriter>* Writer) {
  *Writer = std::make_shared<TWriter>();
  return S_OK;
}

HRESULT CreateWriterFileSink(std::shared_ptr<IWMWriterFileSink>* Sink) {
  *Sink = std::make_shared<TFileSink>();
  return S_OK;
}

HRESULT CreateProfileManager(std::shared_ptr<IWMProfileManager>* Manager) {
  *Manager = std::make_shared<TProfileManager>();
  return S_OK;
}

}  // namespace tonvale::wmf

namespace tonvale {

const TWMRuntime& FFmpegRuntime() {
  // FFmpeg's own messages (damaged frames and the like) stay out of the
  // program's output: failures come back as results.
  static const bool quiet = (av_log_set_level(AV_LOG_FATAL), true);
  (void)quiet;
  static const TWMRuntime runtime{wmf::CreateSyncReader, wmf::CreateWriter, wmf::CreateWriterFileSink,
                                  wmf::CreateProfileManager};
  return runtime;
}

}  // namespace tonvale
