// The synchronous reader of the FFmpeg runtime: decodes every audio stream
// FFmpeg reads and hands out 16-bit interleaved PCM, one decoded frame per
// sample.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libswresample/swresample.h>
}

#include "platform/text.h"
#include "platform/wmf/ffmpeg_io.h"
#include "platform/wmf/ffmpeg_runtime.h"
#include "platform/wmf/leading_tags.h"

namespace tonvale::wmf {
namespace {

TWaveFormatEx Pcm16(int Channels, int Rate) {
  TWaveFormatEx w{};
  w.wFormatTag = WAVE_FORMAT_PCM;
  w.nChannels = static_cast<uint16_t>(Channels);
  w.nSamplesPerSec = static_cast<uint32_t>(Rate);
  w.wBitsPerSample = 16;
  w.nBlockAlign = static_cast<uint16_t>(2 * Channels);
  w.nAvgBytesPerSec = w.nBlockAlign * w.nSamplesPerSec;
  return w;
}

// The demuxer for a source named as Expected ("mp3"; empty: whatever the
// probe finds): the probe's answer where it is Expected, or one of the other
// kinds the program reads and its probe found that kind's own header (a WMA
// or WAV file under the wrong name); Expected's demuxer where the probe took
// the source for another kind (junk before an MP3 stream can look like AMR
// frames); none where it found nothing, so that the source is refused.
const AVInputFormat* ChooseFormat(AVIOContext* Io, const std::string& Expected) {
  if (Expected.empty()) return nullptr;
  const AVInputFormat* probed = nullptr;
  const int score = av_probe_input_buffer2(Io, &probed, nullptr, nullptr, 0, 0);
  const std::string name = score >= 0 && probed ? probed->name : "";
  if (name == Expected) return probed;
  if ((name == "asf" || name == "asf_o" || name == "wav") && score >= AVPROBE_SCORE_MAX / 2) return probed;
  return name.empty() ? nullptr : av_find_input_format(Expected.c_str());
}

// A demuxer over an IStream whose data begins at Base (the reader's start),
// its leading tags replaced by Tags.
struct TInput {
  std::unique_ptr<TAvioStream> Io;
  AVFormatContext* Format = nullptr;

  ~TInput() { avformat_close_input(&Format); }

  bool Open(const std::shared_ptr<IStream>& Stream, uint64_t Base, int64_t TagsEnd, const std::string& Expected) {
    if (Stream->Seek(static_cast<int64_t>(Base), STREAM_SEEK_SET, nullptr) != S_OK) return false;
    Io = std::make_unique<TAvioStream>(Stream, std::vector<uint8_t>(), TagsEnd);
    if (!Io->Ok()) return false;
    Format = avformat_alloc_context();
    if (!Format) return false;
    Format->pb = Io->Context();
    Format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&Format, nullptr, ChooseFormat(Io->Context(), Expected), nullptr) < 0) {
      Format = nullptr;  // freed by FFmpeg on failure
      return false;
    }
    if (avformat_find_stream_info(Format, nullptr) < 0) return false;
    return true;
  }
};

// Frames a WMA packet (a superframe) decodes to, as FFmpeg's decoder counts
// them: with the bit reservoir the header states the frames, otherwise there
// is one; the very first packet gives one frame fewer.
int WmaFramesInPacket(const AVPacket* Pkt, bool Reservoir, bool First) {
  int frames = 1;
  if (Reservoir) frames = Pkt->size < 1 ? 0 : Pkt->data[0] & 0x0F;
  return std::max(frames - (First ? 1 : 0), 0);
}

int WmaFrameLength(int Rate, int Version) {
  int bits;
  if (Rate <= 16000)
    bits = 9;
  else if (Rate <= 22050 || (Rate <= 32000 && Version == 1))
    bits = 10;
  else
    bits = 11;
  return 1 << bits;
}

// The samples (per channel) the decoder will deliver for stream Index,
// counted from the packets rather than trusted from the container; -1 when
// they cannot be counted.
int64_t CountSamples(AVFormatContext* Format, int Index) {
  const AVCodecParameters* par = Format->streams[Index]->codecpar;
  const AVRational tb = Format->streams[Index]->time_base;
  const bool wma = par->codec_id == AV_CODEC_ID_WMAV1 || par->codec_id == AV_CODEC_ID_WMAV2;
  // The rate the stream starts with, which the reader delivers: the parser
  // changes the parameters when a joined stream changes rate on the way.
  const int rate = par->sample_rate;
  bool reservoir = false;
  int frameLength = 0;
  if (wma) {
    const int version = par->codec_id == AV_CODEC_ID_WMAV1 ? 1 : 2;
    int flags2 = 0;
    if (version == 1 && par->extradata_size >= 4) flags2 = AV_RL16(par->extradata + 2);
    if (version == 2 && par->extradata_size >= 6) flags2 = AV_RL16(par->extradata + 4);
    reservoir = (flags2 & 0x0002) != 0;
    frameLength = WmaFrameLength(par->sample_rate, version);
  }
  AVPacket* pkt = av_packet_alloc();
  int64_t samples = 0;
  bool first = true;
  bool known = true;
  while (av_read_frame(Format, pkt) >= 0) {
    if (pkt->stream_index == Index) {
      if (wma) {
        samples += int64_t{WmaFramesInPacket(pkt, reservoir, first)} * frameLength;
      } else {
        int64_t d = pkt->duration > 0 ? av_rescale_q(pkt->duration, tb, AVRational{1, rate}) : par->frame_size;
        if (d <= 0) known = false;
        samples += d;
        size_t size = 0;
        const uint8_t* skip = av_packet_get_side_data(pkt, AV_PKT_DATA_SKIP_SAMPLES, &size);
        if (skip && size >= 8) samples -= int64_t{AV_RL32(skip)} + AV_RL32(skip + 4);
      }
      first = false;
    }
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  return known ? std::max<int64_t>(samples, 0) : -1;
}

// The play time an ASF file's properties state, in 100 ns units, less the
// preroll; -1 when the header has none (or is a broadcast's, whose times
// mean nothing). FFmpeg passes it on only for files that are not cut, and
// a cut file is just what it is needed for.
int64_t AsfStatedDuration(IStream& Stream, uint64_t Base) {
  static const uint8_t kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  static const uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  uint8_t head[30];
  if (!ReadAt(Stream, Base, head, sizeof head) || std::memcmp(head, kHeader, 16) != 0) return -1;
  const uint64_t headerEnd = Base + AV_RL64(head + 16);
  const uint32_t objects = AV_RL32(head + 24);
  uint64_t at = Base + 30;
  for (uint32_t i = 0; i < objects && at + 24 <= headerEnd; ++i) {
    uint8_t object[104];
    if (!ReadAt(Stream, at, object, 24)) return -1;
    const uint64_t size = AV_RL64(object + 16);
    if (size < 24 || size > headerEnd - at) return -1;
    if (std::memcmp(object, kFileProperties, 16) == 0) {
      if (size < sizeof object || !ReadAt(Stream, at, object, sizeof object)) return -1;
      const uint64_t play = AV_RL64(object + 64), preroll = AV_RL64(object + 80);
      if ((AV_RL32(object + 88) & 1) != 0 || play / 10000 <= preroll) return -1;
      return static_cast<int64_t>(play - preroll * 10000);
    }
    at += size;
  }
  return -1;
}

// The samples (per channel, at Rate) the container states for stream Index
// from what it declares rather than what is there: the ASF file properties,
// or an MP3's Xing, Info or VBRI frame; -1 when it states nothing exact.
int64_t StatedSamples(AVFormatContext* Format, int Index, IStream& Stream, uint64_t Base, int Rate) {
  const std::string name = Format->iformat ? Format->iformat->name : "";
  if (name == "asf") {
    const int64_t duration = AsfStatedDuration(Stream, Base);
    return duration < 0 ? -1 : av_rescale(duration, Rate, 10000000);
  }
  const AVStream* st = Format->streams[Index];
  if (name == "mp3" && Format->duration_estimation_method == AVFMT_DURATION_FROM_STREAM && st->duration > 0)
    return av_rescale_q(st->duration, st->time_base, AVRational{1, Rate});
  return -1;
}

struct TAudioOutput {
  int StreamIndex;
  TMediaProps Props;
  int OutChannels, OutRate;
};

class TSyncReader : public IWMSyncReader {
 public:
  ~TSyncReader() override { Close(); }

  HRESULT OpenStream(const std::shared_ptr<IStream>& Stream) override;
  HRESULT SetExpectedFormat(const std::string& Name) override {
    if (!av_find_input_format(Name.c_str())) return E_INVALIDARG;
    FExpected = Name;
    return S_OK;
  }
  HRESULT GetOutputCount(uint32_t* Outputs) override {
    if (!Outputs) return E_INVALIDARG;
    if (!FInput) return NS_E_INVALID_REQUEST;
    *Outputs = static_cast<uint32_t>(FOutputs.size());
    return S_OK;
  }
  HRESULT GetOutputProps(uint32_t Output, std::shared_ptr<IWMOutputMediaProps>* Props) override {
    if (!Props || Output >= FOutputs.size()) return E_INVALIDARG;
    *Props = std::make_shared<TMediaProps>(FOutputs[Output].Props.Type());
    return S_OK;
  }
  HRESULT SetOutputProps(uint32_t Output, IWMOutputMediaProps* Props) override;
  HRESULT GetStreamNumberForOutput(uint32_t Output, uint16_t* StreamNumber) override {
    if (!StreamNumber || Output >= FOutputs.size()) return E_INVALIDARG;
    *StreamNumber = static_cast<uint16_t>(FOutputs[Output].StreamIndex + 1);
    return S_OK;
  }
  HRESULT SetReadStreamSamples(uint16_t StreamNumber, bool Compressed) override {
    if (!FindOutput(StreamNumber)) return E_INVALIDARG;
    return Compressed ? E_NOTIMPL : S_OK;
  }
  HRESULT GetNextSample(uint16_t StreamNumber, std::shared_ptr<INSSBuffer>* Sample, uint64_t* SampleTime,
                        uint64_t* Duration, uint32_t* Flags, uint32_t* OutputNumber,
                        uint16_t* StreamNumberRead) override;
  HRESULT SetRange(uint64_t Start, int64_t Duration) override;
  HRESULT GetSampleCount(uint16_t StreamNumber, uint64_t* Samples) override {
    if (!Samples) return E_INVALIDARG;
    const TAudioOutput* out = FindOutput(StreamNumber);
    if (!out || out->StreamIndex != FCountedIndex || FCounted < 0) return NS_E_INVALID_REQUEST;
    *Samples = static_cast<uint64_t>(FCounted);
    return S_OK;
  }
  HRESULT GetDecodeLoss(uint16_t StreamNumber, uint64_t* LostSamples) override;
  HRESULT Close() override;
  std::shared_ptr<IWMHeaderInfo> HeaderInfo() override { return FAttributes; }

 private:
  // Counts a packet of the decoded stream that could not be decoded (Packet
  // null when the decoder did not say which).
  void NoteFailedPacket(const AVPacket* Packet);
  TAudioOutput* FindOutput(uint16_t StreamNumber) {
    for (auto& o : FOutputs)
      if (o.StreamIndex + 1 == StreamNumber) return &o;
    return nullptr;
  }
  bool OpenDecoder(const TAudioOutput& Output);
  // A converter from FFrame's format to the output's.
  bool OpenSwr(const TAudioOutput& Output);
  // The converter was made for a frame of this layout, format and rate.
  bool SameSwrInput(const AVFrame& Frame) const {
    return Frame.format == FSwrFormat && Frame.sample_rate == FSwrRate &&
           av_channel_layout_compare(&Frame.ch_layout, &FSwrLayout) == 0;
  }
  void ReadAttributes();
  // Decodes the next frame of the current stream into FFrame; false at the
  // end, or when the stream failed (FReadFailed).
  bool NextFrame();

  std::shared_ptr<IStream> FStream;
  std::unique_ptr<TInput> FInput;
  uint64_t FBase = 0;     // the stream position the source begins at
  int64_t FTagsEnd = 0;   // where its leading ID3v2 tags end, which FFmpeg does not see
  std::string FExpected;  // the kind of file the source is named as
  std::vector<TAudioOutput> FOutputs;
  std::shared_ptr<TAttributes> FAttributes = std::make_shared<TAttributes>();
  AVCodecContext* FCodec = nullptr;
  SwrContext* FSwr = nullptr;
  AVChannelLayout FSwrLayout{};  // what FSwr converts from
  int FSwrFormat = -1, FSwrRate = 0;
  AVFrame* FFrame = nullptr;
  AVPacket* FPacket = nullptr;
  int FDecoding = -1;  // stream index the decoder is open for
  bool FDraining = false, FEnded = false, FResync = false, FReadFailed = false;
  int64_t FPosition = 0;   // output samples handed out or dropped so far
  int64_t FDropUntil = 0;  // output samples before this are dropped
  int FCountedIndex = -1;  // the stream FCounted counts
  int64_t FCounted = -1;   // its samples, -1 when not known
  // Packets of the decoded stream the decoder took, and those it refused:
  // the samples of the refused whose length is known, and how many are not.
  int64_t FGoodPackets = 0, FLostSamples = 0, FLostPackets = 0;
};

HRESULT TSyncReader::OpenStream(const std::shared_ptr<IStream>& Stream) {
  Close();
  if (!Stream) return E_INVALIDARG;
  FStream = Stream;
  // The source begins where the stream stands (past a leading block, say).
  FBase = 0;
  FStream->Seek(0, STREAM_SEEK_CUR, &FBase);
  FTagsEnd = LeadingTagsEnd(*FStream, FBase);
  auto input = std::make_unique<TInput>();
  if (!input->Open(FStream, FBase, FTagsEnd, FExpected)) {
    FStream.reset();
    return NS_E_FILE_OPEN_FAILED;
  }
  for (unsigned i = 0; i < input->Format->nb_streams; ++i) {
    const AVCodecParameters* par = input->Format->streams[i]->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_AUDIO || par->ch_layout.nb_channels <= 0 || par->sample_rate <= 0 ||
        !avcodec_find_decoder(par->codec_id))
      continue;
    const int channels = par->ch_layout.nb_channels;
    FOutputs.push_back({static_cast<int>(i),
                        TMediaProps(AudioWaveType(TSubtype::PCM, Pcm16(channels, par->sample_rate))), channels,
                        par->sample_rate});
  }
  FInput = std::move(input);
  ReadAttributes();
  if (!FOutputs.empty()) {
    // "Duration": what the reader will deliver of the last audio stream,
    // counted over the packets by a separate pass; or, for a source that
    // ends well before the length it states (a cut file), that length, so
    // that the shortfall shows.
    TInput counter;
    const auto& last = FOutputs.back();
    if (counter.Open(FStream, FBase, FTagsEnd, FExpected)) {
      int64_t samples = CountSamples(counter.Format, last.StreamIndex);
      const int64_t stated = StatedSamples(counter.Format, last.StreamIndex, *FStream, FBase, last.OutRate);
      if (samples >= 0 && stated > samples + last.OutRate / 10) samples = stated;
      FCountedIndex = last.StreamIndex;
      FCounted = samples;
      if (samples >= 0)
        FAttributes->SetQword(u"Duration",
                              static_cast<uint64_t>(std::llround(static_cast<double>(samples) * 1e7 / last.OutRate)));
    }
    // Back to the start for decoding.
    FInput = std::make_unique<TInput>();
    if (!FInput->Open(FStream, FBase, FTagsEnd, FExpected)) {
      Close();
      return NS_E_FILE_OPEN_FAILED;
    }
  }
  FPacket = av_packet_alloc();
  FFrame = av_frame_alloc();
  return S_OK;
}

void TSyncReader::ReadAttributes() {
  // What FFmpeg found in the container's metadata; the tag reader reads a
  // file's own tags whole. An attached picture's stream metadata describes
  // the picture, not the file.
  static const std::pair<const char16_t*, std::vector<const char*>> kFFmpegKeys[] = {
      {u"Title", {"title"}},         {u"Author", {"artist"}},        {u"WM/AlbumTitle", {"album"}},
      {u"WM/Genre", {"genre"}},      {u"WM/TrackNumber", {"track"}}, {u"WM/Year", {"date", "year"}},
      {u"Description", {"comment"}}, {u"Copyright", {"copyright"}}};
  const AVFormatContext* f = FInput->Format;
  for (const auto& [name, keys] : kFFmpegKeys) {
    for (const char* key : keys) {
      if (const AVDictionaryEntry* e = av_dict_get(f->metadata, key, nullptr, 0)) {
        // FFmpeg hands an ID3v1 tag's letters over as they stand, in
        // Latin-1; every other source's text reaches it as UTF-8.
        FAttributes->SetString(name, IsUtf8(e->value) ? Utf8ToUtf16(e->value) : Latin1ToUtf16(e->value));
        break;
      }
    }
  }
}

HRESULT TSyncReader::SetOutputProps(uint32_t Output, IWMOutputMediaProps* Props) {
  if (!Props || Output >= FOutputs.size()) return E_INVALIDARG;
  uint32_t size = 0;
  TWMMediaType type;
  if (Props->GetMediaType(nullptr, &size) != S_OK || Props->GetMediaType(&type, &size) != S_OK) return E_INVALIDARG;
  if (!type.IsWaveFormat() || type.Wave()->wFormatTag != WAVE_FORMAT_PCM || type.Wave()->wBitsPerSample != 16 ||
      type.Wave()->nChannels == 0 || type.Wave()->nSamplesPerSec == 0)
    return E_INVALIDARG;
  auto& o = FOutputs[Output];
  o.Props.SetMediaType(&type);
  o.OutChannels = type.Wave()->nChannels;
  // The count holds at the rate it was made for.
  if (o.OutRate != static_cast<int>(type.Wave()->nSamplesPerSec) && o.StreamIndex == FCountedIndex) FCounted = -1;
  o.OutRate = static_cast<int>(type.Wave()->nSamplesPerSec);
  return S_OK;
}

bool TSyncReader::OpenDecoder(const TAudioOutput& Output) {
  avcodec_free_context(&FCodec);
  swr_free(&FSwr);
  const AVCodecParameters* par = FInput->Format->streams[Output.StreamIndex]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  FCodec = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (!FCodec || avcodec_parameters_to_context(FCodec, par) < 0) return false;
  FCodec->thread_count = 1;
  if (avcodec_open2(FCodec, codec, nullptr) < 0) return false;
  FDecoding = Output.StreamIndex;
  return true;
}

bool TSyncReader::OpenSwr(const TAudioOutput& Output) {
  AVChannelLayout layout;
  av_channel_layout_default(&layout, Output.OutChannels);
  bool ok = swr_alloc_set_opts2(&FSwr, &layout, AV_SAMPLE_FMT_S16, Output.OutRate, &FFrame->ch_layout,
                                static_cast<AVSampleFormat>(FFrame->format), FFrame->sample_rate, 0, nullptr) >= 0;
  if (ok && FFrame->ch_layout.nb_channels == 1 && Output.OutChannels == 2) {
    // A mono part of a stereo stream: both sides at its own level.
    const double both[2] = {1.0, 1.0};
    ok = swr_set_matrix(FSwr, both, 1) >= 0;
  }
  ok = ok && swr_init(FSwr) >= 0;
  av_channel_layout_uninit(&layout);
  av_channel_layout_uninit(&FSwrLayout);
  if (!ok || av_channel_layout_copy(&FSwrLayout, &FFrame->ch_layout) < 0) {
    swr_free(&FSwr);
    return false;
  }
  FSwrFormat = FFrame->format;
  FSwrRate = FFrame->sample_rate;
  return true;
}

void TSyncReader::NoteFailedPacket(const AVPacket* Packet) {
  const AVStream* st = FInput->Format->streams[FDecoding];
  const TAudioOutput* out = FindOutput(static_cast<uint16_t>(FDecoding + 1));
  if (Packet && Packet->duration > 0 && out)
    FLostSamples += av_rescale_q(Packet->duration, st->time_base, AVRational{1, out->OutRate});
  else
    ++FLostPackets;
}

HRESULT TSyncReader::GetDecodeLoss(uint16_t StreamNumber, uint64_t* LostSamples) {
  if (!LostSamples) return E_INVALIDARG;
  if (!FindOutput(StreamNumber) || FDecoding + 1 != StreamNumber) return NS_E_INVALID_REQUEST;
  // A packet of unknown length counts as much as the packets decoded gave
  // on average.
  const int64_t average = FGoodPackets > 0 ? FPosition / FGoodPackets : 0;
  *LostSamples = static_cast<uint64_t>(FLostSamples + FLostPackets * average);
  return S_OK;
}

bool TSyncReader::NextFrame() {
  // A decoder that fails on and on without being given input is given up on.
  int failures = 0;
  for (;;) {
    int rc = avcodec_receive_frame(FCodec, FFrame);
    if (rc == 0) return true;
    if (rc == AVERROR_EOF) return false;
    if (rc != AVERROR(EAGAIN)) {
      // A frame the decoder could not make: counted, and decoding goes on.
      NoteFailedPacket(nullptr);
      if (++failures > 64) return false;
      continue;
    }
    if (FDraining) return false;
    rc = av_read_frame(FInput->Format, FPacket);
    if (rc < 0) {
      if (FInput->Io->ReadFailed()) {
        FReadFailed = true;
        return false;
      }
      FDraining = true;
      avcodec_send_packet(FCodec, nullptr);
      continue;
    }
    if (FPacket->stream_index == FDecoding) {
      // A damaged packet is skipped and counted; decoding goes on.
      rc = avcodec_send_packet(FCodec, FPacket);
      if (rc < 0 && rc != AVERROR(EAGAIN))
        NoteFailedPacket(FPacket);
      else
        ++FGoodPackets;
      failures = 0;
    }
    av_packet_unref(FPacket);
  }
}

HRESULT TSyncReader::GetNextSample(uint16_t StreamNumber, std::shared_ptr<INSSBuffer>* Sample, uint64_t* SampleTime,
                                   uint64_t* Duration, uint32_t* Flags, uint32_t* OutputNumber,
                                   uint16_t* StreamNumberRead) {
  if (!Sample) return E_INVALIDARG;
  TAudioOutput* out = FindOutput(StreamNumber);
  if (!FInput || !out) return E_INVALIDARG;
  if (FDecoding != out->StreamIndex && !OpenDecoder(*out)) return E_FAIL;
  while (!FEnded) {
    if (!NextFrame()) {
      if (FReadFailed) return STG_E_READFAULT;
      FEnded = true;
      break;
    }
    if (FResync) {
      FResync = false;
      AVStream* st = FInput->Format->streams[FDecoding];
      const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
      int64_t pts = FFrame->best_effort_timestamp;
      if (pts == AV_NOPTS_VALUE) pts = start;
      FPosition = av_rescale_q(pts - start, st->time_base, AVRational{1, out->OutRate});
    }
    const uint32_t frameBytes = 2 * static_cast<uint32_t>(out->OutChannels);
    // A stream that changes its channels or rate on the way (MP3s joined
    // from several recordings) goes on in the layout it started with: what
    // the converter holds of the old input is taken, and a new converter
    // takes the new one.
    std::vector<uint8_t> carried;
    if (FSwr && !SameSwrInput(*FFrame)) {
      const int left = std::max(swr_get_out_samples(FSwr, 0), 0);
      carried.resize(static_cast<size_t>(left) * frameBytes);
      uint8_t* dst = carried.data();
      const int flushed = left > 0 ? swr_convert(FSwr, &dst, left, nullptr, 0) : 0;
      carried.resize(static_cast<size_t>(std::max(flushed, 0)) * frameBytes);
      swr_free(&FSwr);
    }
    if (!FSwr && !OpenSwr(*out)) return E_FAIL;
    const int room = std::max(swr_get_out_samples(FSwr, FFrame->nb_samples), 0);
    auto sample = std::make_shared<TMemorySample>(static_cast<uint32_t>(carried.size() + room * frameBytes));
    uint8_t* dst = sample->Data().data();
    if (!carried.empty()) std::memcpy(dst, carried.data(), carried.size());
    uint8_t* next = dst + carried.size();
    const int converted =
        swr_convert(FSwr, &next, room, const_cast<const uint8_t**>(FFrame->extended_data), FFrame->nb_samples);
    int got = static_cast<int>(carried.size() / frameBytes) + std::max(converted, 0);
    av_frame_unref(FFrame);
    if (got <= 0) continue;
    int64_t first = FPosition;
    FPosition += got;
    // After a seek: drop what lies before the wanted time.
    int64_t drop = std::clamp<int64_t>(FDropUntil - first, 0, got);
    if (drop == got) continue;
    if (drop > 0) std::memmove(dst, dst + drop * frameBytes, (got - drop) * frameBytes);
    sample->SetLength(static_cast<uint32_t>((got - drop) * frameBytes));
    if (SampleTime)
      *SampleTime = static_cast<uint64_t>(std::llround(static_cast<double>(first + drop) * 1e7 / out->OutRate));
    if (Duration) *Duration = static_cast<uint64_t>(std::llround(static_cast<double>(got - drop) * 1e7 / out->OutRate));
    if (Flags) *Flags = 0;
    if (OutputNumber) *OutputNumber = static_cast<uint32_t>(out - FOutputs.data());
    if (StreamNumberRead) *StreamNumberRead = StreamNumber;
    *Sample = std::move(sample);
    return S_OK;
  }
  return NS_E_NO_MORE_SAMPLES;
}

HRESULT TSyncReader::SetRange(uint64_t Start, int64_t) {
  if (!FInput || FOutputs.empty()) return NS_E_INVALID_REQUEST;
  const TAudioOutput& out = FDecoding >= 0 ? *FindOutput(static_cast<uint16_t>(FDecoding + 1)) : FOutputs.back();
  // Start over from the beginning and decode up to the time: the landing
  // point of a container seek is not exact, and sample counting must be.
  FInput = std::make_unique<TInput>();
  if (!FInput->Open(FStream, FBase, FTagsEnd, FExpected)) {
    FInput.reset();
    return E_FAIL;
  }
  AVStream* st = FInput->Format->streams[out.StreamIndex];
  const int64_t target = static_cast<int64_t>(std::llround(static_cast<double>(Start) * 1e-7 * out.OutRate));
  FPosition = 0;
  // Seek to a little before the target where the container allows it (a
  // decoder needs a frame or two to settle), then count from the timestamp
  // of the first frame decoded and drop up to the target.
  constexpr uint64_t kLeadIn = 2000000;  // 200 ms
  const int64_t ts = av_rescale_q(static_cast<int64_t>(Start > kLeadIn ? (Start - kLeadIn) / 10 : 0),
                                  AVRational{1, 1000000}, st->time_base) +
                     (st->start_time != AV_NOPTS_VALUE ? st->start_time : 0);
  bool seeked = Start > kLeadIn && av_seek_frame(FInput->Format, out.StreamIndex, ts, AVSEEK_FLAG_BACKWARD) >= 0;
  if (!OpenDecoder(out)) return E_FAIL;
  swr_free(&FSwr);
  FDraining = FEnded = FReadFailed = false;
  FGoodPackets = FLostSamples = FLostPackets = 0;
  FDropUntil = target;
  // After a seek, the first frame decoded tells where decoding resumed.
  FResync = seeked;
  return S_OK;
}

HRESULT TSyncReader::Close() {
  avcodec_free_context(&FCodec);
  swr_free(&FSwr);
  av_channel_layout_uninit(&FSwrLayout);
  av_frame_free(&FFrame);
  av_packet_free(&FPacket);
  FInput.reset();
  FOutputs.clear();
  FStream.reset();
  FTagsEnd = 0;
  FDecoding = -1;
  FDraining = FEnded = FResync = FReadFailed = false;
  FPosition = FDropUntil = 0;
  FCountedIndex = -1;
  FCounted = -1;
  FGoodPackets = FLostSamples = FLostPackets = 0;
  return S_OK;
}

}  // namespace

HRESULT CreateSyncReader(std::shared_ptr<IWMSyncReader>* Reader) {
  *Reader = std::make_shared<TSyncReader>();
  return S_OK;
}

}  // namespace tonvale::wmf
