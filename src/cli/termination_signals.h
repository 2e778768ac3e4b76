// SIGINT, SIGTERM and SIGHUP are taken by one thread of their own that
// removes the run's temporary files and exits with 128 + the signal's
// number; the earlier outputs stay as they were.
#pragma once
#include "io/output_file.h"

#include <string>

// Blocks the termination signals in this thread and every thread started
// after it, and starts the thread that waits for them (with a small stack,
// so that it starts under a tight address-space limit). False, with the
// reason in *error, when that thread cannot be started; the signals stay
// blocked then, which is harmless while nothing is written.
bool takeTerminationSignals(TemporaryFiles& temps, std::string* error);
