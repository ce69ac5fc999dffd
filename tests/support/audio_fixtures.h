#pragma once
// Audio fixtures made by the peer tools at test time, and measures for
// comparing decoded signals.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "audio/core/au_input.h"
#include "audio/core/au_output.h"

namespace tonvale::test {

// An ffmpeg input of a music-like signal (chords with vibrato and a little
// noise) of the given length.
std::string MusicSource(double Seconds);
// Writes Path with ffmpeg from the music-like signal; Codec holds the output
// options (for example "-c:a adpcm_ms").
void MakeAudio(const std::string& Path, double Seconds, int Rate, int Channels, const std::string& Codec);
// ffmpeg's decode of Path as interleaved 16-bit samples (or 8-bit unsigned
// bytes with Format "u8").
std::vector<int16_t> FfmpegDecode(const std::string& Path, const std::string& Extra = "");
std::vector<uint8_t> FfmpegDecodeBytes(const std::string& Path, const std::string& Format);
std::vector<int16_t> SoxDecode(const std::string& Path);

// ffprobe's stream and format fields of Path (the first audio stream's
// first): "codec_name", "sample_rate", "channels", "bit_rate", "duration"...
std::map<std::string, std::string> ProbeFields(const std::string& Path);

// Everything an input delivers in one read.
std::vector<uint8_t> ReadAll(TAuInput& Input, uint32_t Request = 5000);
std::vector<int16_t> AsSamples(const std::vector<uint8_t>& Bytes);

// Runs Output to its end on the UI thread; false when it did not finish.
bool RunToEnd(TAuOutput& Output);

// Signal-to-noise ratio of Test against Reference, over their common length.
double SnrDb(const std::vector<int16_t>& Reference, const std::vector<int16_t>& Test);
// Normalised correlation over the common length.
double Correlation(const std::vector<int16_t>& A, const std::vector<int16_t>& B);
int MaxAbsDiff(const std::vector<int16_t>& A, const std::vector<int16_t>& B);

}  // namespace tonvale::test
