#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include "terminal.h"

namespace hostsim {

namespace {
volatile LONG requested = 0;

// Runs on a thread of its own. Ctrl-C and Ctrl-Break are handled (the
// process goes on and finishes as usual); on a close or shutdown the
// process ends when this returns, so give the main thread a moment.
BOOL WINAPI onConsoleEvent(DWORD event) {
    InterlockedExchange(&requested, event == CTRL_C_EVENT ? 130 : 143);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    Sleep(2000);
    return TRUE;
}
}  // namespace

bool stdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
bool stdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void installInterruptHandler() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

int interruptExitCode() { return static_cast<int>(requested); }

// Only the module's import of GetTickCount is redirected to the virtual
// clock (virtual_clock_windows.cpp); the host's own call reads the real one.
uint64_t realMilliseconds() { return GetTickCount64(); }

const char* endOfInputKeys() { return "Ctrl-Z and Enter"; }

}  // namespace hostsim
