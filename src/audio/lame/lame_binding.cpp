#include "audio/lame/lame_binding.h"

#include <mutex>
#include <vector>

#include "platform/dynamic_library.h"

namespace tonvale {

lame_t (*lame_init)() = nullptr;
int (*lame_set_num_samples)(lame_t, unsigned long) = nullptr;
int (*lame_set_in_samplerate)(lame_t, int) = nullptr;
int (*lame_set_num_channels)(lame_t, int) = nullptr;
int (*lame_set_out_samplerate)(lame_t, int) = nullptr;
int (*lame_set_mode)(lame_t, int) = nullptr;
int (*lame_set_copyright)(lame_t, int) = nullptr;
int (*lame_set_original)(lame_t, int) = nullptr;
int (*lame_set_error_protection)(lame_t, int) = nullptr;
int (*lame_set_brate)(lame_t, int) = nullptr;
int (*lame_set_quality)(lame_t, int) = nullptr;
int (*lame_set_bWriteVbrTag)(lame_t, int) = nullptr;
int (*lame_get_bWriteVbrTag)(lame_t) = nullptr;
int (*lame_set_VBR)(lame_t, int) = nullptr;
int (*lame_set_VBR_q)(lame_t, int) = nullptr;
int (*lame_set_VBR_min_bitrate_kbps)(lame_t, int) = nullptr;
int (*lame_set_VBR_max_bitrate_kbps)(lame_t, int) = nullptr;
int (*lame_init_params)(lame_t) = nullptr;
int (*lame_encode_buffer_interleaved)(lame_t, short*, int, unsigned char*, int) = nullptr;
void (*id3tag_init)(lame_t) = nullptr;
int (*lame_encode_flush)(lame_t, unsigned char*, int) = nullptr;
int (*lame_close)(lame_t) = nullptr;
size_t (*lame_get_lametag_frame)(lame_t, unsigned char*, size_t) = nullptr;

const std::array<const char*, 112> LameEntryNames = {"lame_init",
                                                     "lame_set_num_samples",
                                                     "lame_get_num_samples",
                                                     "lame_set_in_samplerate",
                                                     "lame_get_in_samplerate",
                                                     "lame_set_num_channels",
                                                     "lame_get_num_channels",
                                                     "lame_set_scale",
                                                     "lame_get_scale",
                                                     "lame_set_scale_left",
                                                     "lame_get_scale_left",
                                                     "lame_set_scale_right",
                                                     "lame_get_scale_right",
                                                     "lame_set_out_samplerate",
                                                     "lame_get_out_samplerate",
                                                     "lame_set_analysis",
                                                     "lame_get_analysis",
                                                     "lame_set_bWriteVbrTag",
                                                     "lame_get_bWriteVbrTag",
                                                     "lame_set_decode_only",
                                                     "lame_get_decode_only",
                                                     "lame_set_ogg",
                                                     "lame_get_ogg",
                                                     "lame_set_quality",
                                                     "lame_get_quality",
                                                     "lame_set_mode",
                                                     "lame_get_mode",
                                                     "lame_set_mode_automs",
                                                     "lame_get_mode_automs",
                                                     "lame_set_force_ms",
                                                     "lame_get_force_ms",
                                                     "lame_set_free_format",
                                                     "lame_get_free_format",
                                                     "lame_set_brate",
                                                     "lame_get_brate",
                                                     "lame_set_compression_ratio",
                                                     "lame_get_compression_ratio",
                                                     "lame_set_preset",
                                                     "lame_set_asm_optimizations",
                                                     "lame_set_copyright",
                                                     "lame_get_copyright",
                                                     "lame_set_original",
                                                     "lame_get_original",
                                                     "lame_set_error_protection",
                                                     "lame_get_error_protection",
                                                     "lame_set_padding_type",
                                                     "lame_get_padding_type",
                                                     "lame_set_extension",
                                                     "lame_get_extension",
                                                     "lame_set_strict_ISO",
                                                     "lame_get_strict_ISO",
                                                     "lame_set_VBR",
                                                     "lame_get_VBR",
                                                     "lame_set_VBR_q",
                                                     "lame_get_VBR_q",
                                                     "lame_set_VBR_mean_bitrate_kbps",
                                                     "lame_get_VBR_mean_bitrate_kbps",
                                                     "lame_set_VBR_min_bitrate_kbps",
                                                     "lame_get_VBR_min_bitrate_kbps",
                                                     "lame_set_VBR_max_bitrate_kbps",
                                                     "lame_get_VBR_max_bitrate_kbps",
                                                     "lame_set_VBR_hard_min",
                                                     "lame_get_VBR_hard_min",
                                                     "lame_set_lowpassfreq",
                                                     "lame_get_lowpassfreq",
                                                     "lame_set_lowpasswidth",
                                                     "lame_get_lowpasswidth",
                                                     "lame_set_highpassfreq",
                                                     "lame_get_highpassfreq",
                                                     "lame_set_highpasswidth",
                                                     "lame_get_highpasswidth",
                                                     "lame_get_version",
                                                     "lame_get_encoder_delay",
                                                     "lame_get_encoder_padding",
                                                     "lame_get_framesize",
                                                     "lame_get_mf_samples_to_encode",
                                                     "lame_get_size_mp3buffer",
                                                     "lame_get_frameNum",
                                                     "lame_get_totalframes",
                                                     "lame_init_params",
                                                     "get_lame_version",
                                                     "get_lame_short_version",
                                                     "get_lame_very_short_version",
                                                     "get_psy_version",
                                                     "get_lame_url",
                                                     "get_lame_version_numerical",
                                                     "lame_encode_buffer",
                                                     "lame_encode_buffer_interleaved",
                                                     "lame_encode_buffer_float",
                                                     "lame_encode_flush",
                                                     "lame_encode_flush_nogap",
                                                     "lame_init_bitstream",
                                                     "lame_close",
                                                     "lame_decode_init",
                                                     "lame_decode",
                                                     "lame_decode_headers",
                                                     "lame_decode1",
                                                     "lame_decode1_headers",
                                                     "id3tag_genre_list",
                                                     "id3tag_init",
                                                     "id3tag_add_v2",
                                                     "id3tag_v1_only",
                                                     "id3tag_v2_only",
                                                     "id3tag_space_v1",
                                                     "id3tag_pad_v2",
                                                     "id3tag_set_title",
                                                     "id3tag_set_artist",
                                                     "id3tag_set_album",
                                                     "id3tag_set_year",
                                                     "id3tag_set_comment",
                                                     "id3tag_set_track",
                                                     "id3tag_set_genre"};

std::string LameLibraryName = "libmp3lame.so.0";
bool LAMELoaded = false;

namespace {

std::mutex gLock;
TDynamicLibrary gLibrary;
int gUsers = 0;
std::array<void*, 112> gEntries{};

template <typename F>
bool Bind(F*& Pointer, const char* Name) {
  Pointer = reinterpret_cast<F*>(LameEntry(Name));
  return Pointer != nullptr;
}

// Sets the pointers the output calls; false when one is missing.
bool BindUsed() {
  bool all = true;
  all &= Bind(lame_init, "lame_init");
  all &= Bind(lame_set_num_samples, "lame_set_num_samples");
  all &= Bind(lame_set_in_samplerate, "lame_set_in_samplerate");
  all &= Bind(lame_set_num_channels, "lame_set_num_channels");
  all &= Bind(lame_set_out_samplerate, "lame_set_out_samplerate");
  all &= Bind(lame_set_mode, "lame_set_mode");
  all &= Bind(lame_set_copyright, "lame_set_copyright");
  all &= Bind(lame_set_original, "lame_set_original");
  all &= Bind(lame_set_error_protection, "lame_set_error_protection");
  all &= Bind(lame_set_brate, "lame_set_brate");
  all &= Bind(lame_set_quality, "lame_set_quality");
  all &= Bind(lame_set_bWriteVbrTag, "lame_set_bWriteVbrTag");
  all &= Bind(lame_get_bWriteVbrTag, "lame_get_bWriteVbrTag");
  all &= Bind(lame_set_VBR, "lame_set_VBR");
  all &= Bind(lame_set_VBR_q, "lame_set_VBR_q");
  all &= Bind(lame_set_VBR_min_bitrate_kbps, "lame_set_VBR_min_bitrate_kbps");
  all &= Bind(lame_set_VBR_max_bitrate_kbps, "lame_set_VBR_max_bitrate_kbps");
  all &= Bind(lame_init_params, "lame_init_params");
  all &= Bind(lame_encode_buffer_interleaved, "lame_encode_buffer_interleaved");
  all &= Bind(id3tag_init, "id3tag_init");
  all &= Bind(lame_encode_flush, "lame_encode_flush");
  all &= Bind(lame_close, "lame_close");
  lame_get_lametag_frame =
      reinterpret_cast<size_t (*)(lame_t, unsigned char*, size_t)>(gLibrary.Symbol("lame_get_lametag_frame"));
  return all;
}

void Unbind() {
  gEntries.fill(nullptr);
  BindUsed();
  lame_get_lametag_frame = nullptr;
  gLibrary.Unload();
  LAMELoaded = false;
}

}  // namespace

void* LameEntry(const std::string& Name) {
  for (size_t i = 0; i < LameEntryNames.size(); ++i)
    if (Name == LameEntryNames[i]) return gEntries[i];
  return nullptr;
}

void LoadLAME() {
  std::lock_guard lock(gLock);
  if (LAMELoaded) {
    ++gUsers;
    return;
  }
  if (!gLibrary.Load(LameLibraryName)) return;
  for (size_t i = 0; i < LameEntryNames.size(); ++i) gEntries[i] = gLibrary.Symbol(LameEntryNames[i]);
  if (!BindUsed()) {
    Unbind();
    return;
  }
  LAMELoaded = true;
  gUsers = 1;
}

void UnloadLAME() {
  std::lock_guard lock(gLock);
  if (!LAMELoaded || --gUsers > 0) return;
  Unbind();
}

}  // namespace tonvale
