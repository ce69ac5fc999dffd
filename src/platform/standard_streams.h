#pragma once
// A program started with standard input, output or error closed (cron jobs,
// daemons, some launchers) would hand descriptor 0, 1 or 2 to the first file
// it opens, and every message written to that stream would land inside it.

namespace tonvale {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Called
// first thing in main, before anything else is opened. False when one could
// not be filled (the program then should not write files).
bool FillClosedStandardStreams();

}  // namespace tonvale
