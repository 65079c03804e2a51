// The terminal and the process's signals: whether a standard stream is a
// terminal (for colour, prompts and progress), Ctrl-C and termination
// requests, a real clock for progress, and the keys that end input. One
// implementation per system: terminal_posix.cpp, terminal_windows.cpp.
#pragma once

#include <cstdint>

namespace hostsim {

bool stdoutIsTerminal();
bool stdinIsTerminal();
bool stderrIsTerminal();

// From now on Ctrl-C and termination requests (SIGINT and SIGTERM; the
// console's Ctrl-C, Ctrl-Break and close events on Windows) only set a flag
// that the host reads between statements and ticks. A blocking read of
// standard input returns early.
void installInterruptHandler();
// The exit code for the request received so far (130 for Ctrl-C, 143 for a
// termination request), or 0 while there was none.
int interruptExitCode();

// Milliseconds of real time from some fixed start, untouched by the virtual
// clock that the module reads.
uint64_t realMilliseconds();

// The keys that end standard input at a console, for the interactive
// banner: "Ctrl-D" on POSIX, "Ctrl-Z and Enter" on Windows.
const char* endOfInputKeys();

}  // namespace hostsim
