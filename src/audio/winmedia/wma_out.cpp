#include "audio/winmedia/wma_out.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "audio/core/au_exception.h"
#include "audio/core/au_input.h"
#include "audio/core/au_warnings.h"
#include "platform/float_samples.h"
#include "platform/handle_stream.h"
#include "platform/text.h"
#include "tags/file_tags.h"
#include "tags/tag_text.h"

namespace tonvale {

TWMAOut::TWMAOut(TAuComponent* Owner) : TAuTaggedFileOut(Owner) { WMAListCodecs(FCodecs); }

TWMAOut::~TWMAOut() {
  BeforeDestruction();
  WMAWriterRelease(FWriter);
}

const std::vector<std::string>& TWMAOut::Formats(uint16_t Index) {
  FFormats.clear();
  if (Index < FCodecs.size()) WMAListFormats(Index, FVBR || FLossless, FFormats);
  return FFormats;
}

void TWMAOut::Prepare() {
  // What a failed run left behind is let go: the file it began is closed.
  WMAWriterRelease(FWriter);
  DataStream.reset();
  if (FFileName.empty()) throw EAuException("File name is not assigned.");
  TAuInput* in = Input();
  in->BeginRead();
  try {
    const uint32_t channels = static_cast<uint32_t>(in->Channels());
    const uint32_t bits = static_cast<uint32_t>(in->BitsPerSample());
    const uint32_t rate = static_cast<uint32_t>(in->SampleRate());
    if (in->Channels() <= 0 || in->BitsPerSample() <= 0)
      throw EAuException("Cannot read the source: it holds no audio of a kind that can be decoded.");
    CheckSourceRate(in->SampleRate());
    try {
      DataStream = CreateOutputFile();
    } catch (const EAuException& e) {
      throw EAuException("Cannot create file", e.Detail());
    }
    WMAWriterCreate(FWriter, DataStream.get());
    if (!FWriter.Ready) throw EAuException("Cannot create file");
    FWriter.FloatInput = in->FloatSamples();
    InBits = bits;
    FWriter.ChannelMask = in->ChannelMask();
    if (CodecIndex >= 0)
      WMAWriterSetupByIndex(FWriter, channels, bits, static_cast<uint32_t>(FormatIndex),
                            static_cast<uint32_t>(CodecIndex), FVBR || FLossless, rate);
    else if (FVBR)
      WMAWriterSetupByTarget(FWriter, channels, bits, FVBRQuality, FVBR, FLossless, rate);
    else
      WMAWriterSetupByTarget(FWriter, channels, bits, FDesiredBitrate, FVBR, FLossless, rate);
    // A set-up that configured nothing (an index beyond the lists, VBR
    // formats of a codec without them) would write a broken file.
    if (!FWriter.Configured) throw std::runtime_error("Failed to init codec");
    // 80 ms of audio in whole frames: a partial frame at the end of a
    // chunk would never be read.
    const uint32_t frame = std::max(channels * bits / 8, 1u);
    Buffer.assign(std::max(frame, channels * bits * rate / 100 / frame * frame), 0);
    if (!WMAWriterBegin(FWriter)) throw std::runtime_error("Failed to init codec");
    EndOfInput = false;
  } catch (...) {
    // A set-up failure leaves no file behind.
    WMAWriterRelease(FWriter);
    DataStream.reset();
    DiscardOutputFile();
    in->EndRead();
    throw;
  }
}

bool TWMAOut::OutputChunk(bool Abort) {
  if (!OutputEnabled) return true;
  if (Abort || EndOfInput) return false;
  bool ended = false;
  const uint32_t n = ReadFull(Input(), Buffer.data(), static_cast<uint32_t>(Buffer.size()), ended);
  EndOfInput = ended;
  // The encoder refuses samples beyond full scale: they are clipped, as the
  // MP3 output clips them, and the file says so.
  if (FWriter.FloatInput && ClipFloatSamples(Buffer.data(), n / (InBits / 8), static_cast<int>(InBits)))
    AddWarning(TAuWarning::SamplesClipped, warnings::kSamplesClipped);
  if (!WMAWriterWrite(FWriter, Buffer.data(), n)) throw EAuException("Cannot write the WMA data", WriteFailureReason());
  if (n > 0) NoteAudioWritten();
  return true;
}

std::string TWMAOut::WriteFailureReason() const {
  auto* file = dynamic_cast<THandleStream*>(DataStream.get());
  return file && file->LastError() ? SystemReason(file->LastError()) : "";
}

void TWMAOut::Finish() {
  Input()->EndRead();
  const bool ok = WMAWriterEnd(FWriter);
  Buffer.clear();
  if (!ok) throw EAuException("Cannot complete the WMA file", WriteFailureReason());
  DataStream.reset();
  // The tags go into the complete file: its header is rewritten with them.
  if (const std::string written = WrittenTempName();
      !written.empty() && !Interrupted() && !WriteWmaTags(written, SetToFileTags(Id3v2Tags()))) {
    SettleOutputFile(false);
    throw EAuException("Cannot write the WMA tags");
  }
  SettleOutputFile(!Interrupted());
}

void TWMAOut::AbandonRun() {
  WMAWriterRelease(FWriter);
  const bool open = DataStream != nullptr;
  DataStream.reset();
  if (open) SettleOutputFile(false);
}

}  // namespace tonvale
