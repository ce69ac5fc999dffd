#pragma once
// Carries the stored settings (and, for WMA, the pending tag values) into an
// output just before it runs.

namespace tonvale {

class TMP3Out;
class TWMAOut;

void ConfigureMP3Out(TMP3Out& Out);
void ConfigureWMAOut(TWMAOut& Out);

}  // namespace tonvale
