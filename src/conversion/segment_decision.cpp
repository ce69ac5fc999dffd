#include "conversion/segment_decision.h"

#include <algorithm>

namespace tonvale {

void DecideSegments(TMP3Out& Out, TWaveIn& In, const TSettings& From,
                    const std::function<TLanesLent(int Wanted)>& Borrow) {
  Out.SegmentLanes = 1;
  Out.SegmentPlanLanes = 1;
  Out.SegmentSource = nullptr;
  if (!Borrow || !From.SegmentLongFiles || (From.StereoMode != STEREO && From.StereoMode != JOINT_STEREO)) return;
  const int rate = In.SampleRate();
  if (In.Kind() != wtPCM || In.FloatSamples() || In.BitsPerSample() != 16 || In.Channels() != 2 ||
      (rate != 32000 && rate != 44100 && rate != 48000))
    return;
  // A segment lasts a minute at least; a file of less than two stays whole.
  const int64_t minutes = In.SampleCount() / (60LL * rate);
  if (minutes < 2) return;
  const TLanesLent lanes = Borrow(static_cast<int>(std::min<int64_t>(minutes, 64)) - 1);
  if (lanes.Lent <= 0 && lanes.Planned < 2) return;
  Out.SegmentLanes = 1 + std::max(0, lanes.Lent);
  Out.SegmentPlanLanes = std::max(Out.SegmentLanes, lanes.Planned);
  Out.SegmentSource = [Name = In.FileName()] {
    auto in = std::make_unique<TWaveIn>(nullptr);
    in->SetFileName(Name);
    return std::unique_ptr<TAuFileIn>(std::move(in));
  };
}

}  // namespace tonvale
