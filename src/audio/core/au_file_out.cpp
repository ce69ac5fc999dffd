#include "audio/core/au_file_out.h"

namespace tonvale {

void TAuFileOut::SetFileMode(TFileOutputMode) { FFileMode = foRewrite; }

}  // namespace tonvale
