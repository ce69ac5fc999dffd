#pragma once
// The program's version and the commit it was built from ("local" when the
// tree was not a git clone). Kept in one generated source, so a new commit
// rebuilds that file alone.

namespace tonvale {

const char* ProgramVersion();
const char* ProgramBuild();

}  // namespace tonvale
