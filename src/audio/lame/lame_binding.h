#pragma once
// The LAME encoder library, bound at run time. Every TMP3Out holds one
// binding while it lives; the library is unloaded when the last one goes.

#include <array>
#include <cstdint>
#include <string>

namespace tonvale {

struct lame_global_struct;
using lame_t = lame_global_struct*;

// The entry points the MP3 output calls, with the library's signatures.
extern lame_t (*lame_init)();
extern int (*lame_set_num_samples)(lame_t, unsigned long);
extern int (*lame_set_in_samplerate)(lame_t, int);
extern int (*lame_set_num_channels)(lame_t, int);
extern int (*lame_set_out_samplerate)(lame_t, int);
extern int (*lame_set_mode)(lame_t, int);
extern int (*lame_set_copyright)(lame_t, int);
extern int (*lame_set_original)(lame_t, int);
extern int (*lame_set_error_protection)(lame_t, int);
extern int (*lame_set_brate)(lame_t, int);
extern int (*lame_set_quality)(lame_t, int);
extern int (*lame_set_bWriteVbrTag)(lame_t, int);
extern int (*lame_get_bWriteVbrTag)(lame_t);
extern int (*lame_set_VBR)(lame_t, int);
extern int (*lame_set_VBR_q)(lame_t, int);
extern int (*lame_set_VBR_min_bitrate_kbps)(lame_t, int);
extern int (*lame_set_VBR_max_bitrate_kbps)(lame_t, int);
extern int (*lame_init_params)(lame_t);
extern int (*lame_encode_buffer_interleaved)(lame_t, short*, int, unsigned char*, int);
extern void (*id3tag_init)(lame_t);
extern int (*lame_encode_flush)(lame_t, unsigned char*, int);
extern int (*lame_close)(lame_t);
// Not among the names looked up in order: the VBR/Info header frame, which
// completes the first frame the encoder reserved. Empty when not exported.
extern size_t (*lame_get_lametag_frame)(lame_t, unsigned char*, size_t);

// The names looked up, in order.
extern const std::array<const char*, 112> LameEntryNames;
// The address bound for a looked-up name (nullptr when not exported).
void* LameEntry(const std::string& Name);

// The library file; tests may point it elsewhere before the first load.
extern std::string LameLibraryName;
extern bool LAMELoaded;

// Binds the library for one more user; does nothing but count when bound. A
// library that lacks an entry point the MP3 output calls is not bound.
void LoadLAME();
// Releases one user's binding; the library is unloaded with the last user.
void UnloadLAME();

}  // namespace tonvale
