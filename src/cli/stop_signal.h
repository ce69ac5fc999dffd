#pragma once
// The signals that stop a run, and the one way standard output and error
// are written while a run may be stopped: a reader that does not read never
// holds the stop up.

#include <string>

namespace tonvale {

// SIGINT, SIGTERM and SIGHUP stop the run; SIGPIPE and SIGXFSZ are ignored.
void InstallSignalHandlers();
// The stop signal that arrived, or 0.
int StopSignal();

// Writes Text whole to standard output, waiting for room; after a stop
// signal, for half a second at most. False when it was not all written: the
// reader went away, or did not read in that time after a stop (the rest is
// dropped).
bool WriteStandardOutput(const std::string& Text);
// Formats as printf does and writes the text to standard error in the same way.
void SayOnError(const char* Format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tonvale
