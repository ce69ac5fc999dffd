#pragma once
// The compression-manager operations the WAV reader uses to turn MPEG
// Layer-3 WAV data (format tag 85) into 16-bit PCM, decoded with libavcodec.
// Every other source format is refused. Results are 0 for success and a
// nonzero error code otherwise.

#include <cstdint>

#include "platform/wave_format.h"

namespace tonvale {

struct TAcmStreamHeader {
  uint32_t cbStruct;
  uint32_t fdwStatus;
  uintptr_t dwUser;
  uint8_t* pbSrc;
  uint32_t cbSrcLength;
  uint32_t cbSrcLengthUsed;
  uintptr_t dwSrcUser;
  uint8_t* pbDst;
  uint32_t cbDstLength;
  uint32_t cbDstLengthUsed;
  uintptr_t dwDstUser;
};

struct TAcmStream;
using HACMSTREAM = TAcmStream*;

constexpr uint32_t ACM_METRIC_MAX_SIZE_FORMAT = 50;
constexpr uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x10000;
constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 4;
constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0;
constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 4;
constexpr uint32_t ACM_STREAMCONVERTF_START = 0x10;
constexpr uint32_t ACM_STREAMCONVERTF_END = 0x20;
constexpr uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x10000;
constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x20000;

constexpr uint32_t MMSYSERR_INVALHANDLE = 5;
constexpr uint32_t MMSYSERR_NOMEM = 7;
constexpr uint32_t MMSYSERR_NOTSUPPORTED = 8;
constexpr uint32_t MMSYSERR_INVALFLAG = 10;
constexpr uint32_t MMSYSERR_INVALPARAM = 11;
constexpr uint32_t ACMERR_NOTPOSSIBLE = 512;
constexpr uint32_t ACMERR_UNPREPARED = 514;

uint32_t acmMetrics(void* Object, uint32_t Metric, void* Value);
uint32_t acmFormatSuggest(void* Driver, const TWaveFormatEx* Source, TWaveFormatEx* Dest, uint32_t DestSize,
                          uint32_t Flags);
uint32_t acmStreamOpen(HACMSTREAM* Stream, void* Driver, const TWaveFormatEx* Source, const TWaveFormatEx* Dest,
                       void* Filter, uintptr_t Callback, uintptr_t Instance, uint32_t Flags);
// Estimates the destination for SourceLength bytes of source.
uint32_t acmStreamSize(HACMSTREAM Stream, uint32_t SourceLength, uint32_t* DestLength, uint32_t Flags);
uint32_t acmStreamPrepareHeader(HACMSTREAM Stream, TAcmStreamHeader* Header, uint32_t Flags);
// Decodes the source, a piece of the stream's data (the decoder keeps what
// straddles two pieces; ACM_STREAMCONVERTF_END marks the last piece), and
// hands out as much PCM as the destination holds; cbDstLengthUsed says how
// much. PCM that did not fit is handed out by further calls with an empty
// source, until one returns less than it could.
uint32_t acmStreamConvert(HACMSTREAM Stream, TAcmStreamHeader* Header, uint32_t Flags);
// Adds to DestBytes the PCM bytes a piece of the stream's data will convert
// to, by parsing its frames without decoding them. Pieces come in order;
// Last marks the final one.
uint32_t acmStreamMeasure(HACMSTREAM Stream, const uint8_t* Source, uint32_t Length, bool Last, uint64_t* DestBytes);
uint32_t acmStreamUnprepareHeader(HACMSTREAM Stream, TAcmStreamHeader* Header, uint32_t Flags);
uint32_t acmStreamClose(HACMSTREAM Stream, uint32_t Flags);

}  // namespace tonvale
