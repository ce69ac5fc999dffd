#pragma once
// The writer half of the Windows Media wrapper: a record and the functions
// that drive the runtime's writer, profile manager and codec information.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/stream.h"
#include "platform/wmf/wmf_interfaces.h"

namespace tonvale {

struct TWMAWriter {
  std::shared_ptr<IWMWriterFileSink> Sink;
  std::shared_ptr<IWMWriter> Writer;
  std::shared_ptr<INSSBuffer> Sample;
  uint32_t InputNumber = 0;
  uint32_t BytesPerSecond = 0;
  int64_t Time = 0;
  bool Ready = false;
  bool Configured = false;  // a stream was added and an input set up
  // The input's samples, set before the set-up: IEEE floats, and the
  // speakers of its channels (a WAVE_FORMAT_EXTENSIBLE mask; 0 the usual).
  bool FloatInput = false;
  uint32_t ChannelMask = 0;
};

void WMAListCodecs(std::vector<std::string>& List);
void WMAListFormats(uint32_t Codec, bool VBR, std::vector<std::string>& List);

void WMAWriterCreate(TWMAWriter& W, const std::u16string& FileName);
// The same, writing into Destination (kept open by the caller).
void WMAWriterCreate(TWMAWriter& W, TStream* Destination);
void WMAWriterCreateOn(TWMAWriter& W, const std::function<HRESULT()>& OpenSink);
void WMAWriterSetupByIndex(TWMAWriter& W, uint32_t Channels, uint32_t Bits, uint32_t FormatIndex, uint32_t CodecIndex,
                           bool VBR, uint32_t SampleRate);
void WMAWriterSetupByTarget(TWMAWriter& W, uint32_t Channels, uint32_t Bits, uint32_t Target, bool VBR, bool Lossless,
                            uint32_t SampleRate);
// Searches every codec's formats for the one nearest to Target (bit rate,
// VBR quality, or lossless) with the wanted channels, bits and rate.
bool WMAFindFormat(const TWaveFormatEx& Wanted, uint32_t Target, bool Lossless, bool VBR,
                   std::shared_ptr<IWMStreamConfig>& Config);
void WMAWriterSetTag(TWMAWriter& W, const std::u16string& Name, const std::u16string& Text);
// A byte-array attribute (a picture).
void WMAWriterSetBytes(TWMAWriter& W, const std::u16string& Name, const std::string& Bytes);
// False when the runtime could not begin (the codec would not open).
bool WMAWriterBegin(TWMAWriter& W);
// Writes Count bytes of PCM as one sample; false when the runtime refused it.
bool WMAWriterWrite(TWMAWriter& W, const uint8_t* Data, uint32_t Count);
// Ends writing and releases the sink and the writer; false when ending failed.
bool WMAWriterEnd(TWMAWriter& W);
// Releases the sink and the writer without finishing the file.
void WMAWriterRelease(TWMAWriter& W);

}  // namespace tonvale
