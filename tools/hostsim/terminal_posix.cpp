#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "terminal.h"

namespace hostsim {

namespace {
volatile sig_atomic_t requested = 0;

void onSignal(int signal) { requested = 128 + signal; }
}  // namespace

bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
bool stdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void installInterruptHandler() {
    // No SA_RESTART: a read of standard input that the signal interrupts
    // fails, so the interactive session ends at once.
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int interruptExitCode() { return requested; }

uint64_t realMilliseconds() {
    // The process's clock_gettime answers the monotonic clocks with virtual
    // time (virtual_clock.cpp): ask the kernel directly.
    timespec ts{};
    syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

const char* endOfInputKeys() { return "Ctrl-D"; }

}  // namespace hostsim
