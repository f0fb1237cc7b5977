// Interrupts of the command line: SIGINT, SIGTERM, SIGHUP and SIGPIPE. The
// first one is noted (the make stops at its next safe point, see
// guarded_drive.h, and a question waiting for its answer is answered No);
// a second one ends the program at once, after taking away what the make
// has left on the system (host/leftovers.h).
#pragma once

#include <string>

namespace cli {

// Installs the handlers and starts the thread that acts on them (once).
void WatchInterrupts();

// The first interrupt's signal number, or 0 while there was none.
int InterruptSignal();

// Readable from the first interrupt on (for poll); -1 before WatchInterrupts.
int InterruptDescriptor();

// "SIGINT", "SIGTERM", ...
std::string SignalName(int signal);

// The exit code of a program ended by the signal.
int InterruptedExitCode(int signal);

}  // namespace cli
