// Gives the module the host's clock.
//
// The module reads its millisecond tick count with clock_gettime(CLOCK_MONOTONIC).
// An executable that defines and exports clock_gettime (link it with
// ENABLE_EXPORTS / -rdynamic) comes first in the ELF symbol lookup, so the
// module's call binds here instead of to the C library. While virtual time
// is on, the monotonic clocks answer with it; every other clock, and every
// read while it is off, goes to the kernel through the raw system call.
#include "virtual_clock.h"

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {
bool virtualOn = false;
uint64_t virtualMs = 0;

bool isMonotonic(clockid_t id) {
    return id == CLOCK_MONOTONIC || id == CLOCK_MONOTONIC_RAW || id == CLOCK_MONOTONIC_COARSE || id == CLOCK_BOOTTIME;
}
}  // namespace

extern "C" __attribute__((visibility("default"))) int clock_gettime(clockid_t id, struct timespec* ts) {
    if (virtualOn && isMonotonic(id)) {
        ts->tv_sec = static_cast<time_t>(virtualMs / 1000);
        ts->tv_nsec = static_cast<long>((virtualMs % 1000) * 1000000);
        return 0;
    }
    return static_cast<int>(syscall(SYS_clock_gettime, id, ts));
}

namespace virtual_clock {
void enable(uint64_t startMs) {
    virtualMs = startMs;
    virtualOn = true;
}
void disable() { virtualOn = false; }
bool isEnabled() { return virtualOn; }
uint64_t now() { return virtualMs; }
void set(uint64_t ms) { virtualMs = ms; }
void advance(uint64_t ms) { virtualMs += ms; }
}  // namespace virtual_clock
