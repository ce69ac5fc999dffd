#pragma once
// Whether a WAV-to-MP3 file is encoded in segments on cores the run's other
// lanes leave idle: a long 16-bit stereo PCM source at an MPEG-1 rate,
// stereo or joint stereo output (CBR or VBR) and the setting on.

#include <functional>

#include "audio/lame/mp3_out.h"
#include "audio/wave/wave_in.h"
#include "conversion/batch_driver.h"
#include "settings/settings.h"

namespace tonvale {

// Sets Out's SegmentLanes, SegmentPlanLanes and SegmentSource for the file In reads, with the
// settings From. Borrow asks the run for up to that many idle lanes and returns those it lends
// (none without it); the file then uses one core more for each, and has segments for the lanes
// planned, which may join it later.
void DecideSegments(TMP3Out& Out, TWaveIn& In, const TSettings& From,
                    const std::function<TLanesLent(int Wanted)>& Borrow);

}  // namespace tonvale
