#pragma once
// Carries the stored settings (and, for WMA, the pending tag values) into an
// output just before it runs.

#include "settings/settings.h"
#include "settings/tag_values.h"

namespace tonvale {

class TMP3Out;
class TWMAOut;

void ConfigureMP3Out(TMP3Out& Out, const TSettings& From);
// The tag values reach the output's tag set when CopyTags is set.
void ConfigureWMAOut(TWMAOut& Out, const TSettings& From, const TTagValues& Tags, bool CopyTags);

}  // namespace tonvale
