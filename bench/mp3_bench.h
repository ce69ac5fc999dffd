#pragma once
// What the MP3 benchmarks share: a WAV read into an MP3 at 128 kbit/s joint
// stereo, the lame program's own choice at 44.1 kHz.

#include <string>

#include "audio/lame/mp3_out.h"
#include "audio/wave/wave_in.h"

namespace tonvale::bench {

inline void SetUpMp3(TWaveIn& In, TMP3Out& Out, const std::string& Wav, const std::string& Mp3) {
  In.SetFileName(Wav);
  Out.SetInput(&In);
  Out.SetFileName(Mp3);
  Out.SetBitRate(br128);
  Out.SetMode(JOINT_STEREO);
  Out.SetDoneDelay(0);
}

}  // namespace tonvale::bench
