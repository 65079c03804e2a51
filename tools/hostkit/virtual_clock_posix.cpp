// The POSIX clock: an executable that defines and exports clock_gettime comes
// first in the ELF symbol lookup, so the module's call (and every other one
// in the process) binds here instead of to the C library. Reads that are not
// virtual go on to the C library's clock_gettime (the fast vDSO path), found
// once with RTLD_NEXT; the raw system call serves if it cannot be found.
#include <dlfcn.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "virtual_clock.h"

namespace {
using ClockFunction = int (*)(clockid_t, timespec*);

int systemClock(clockid_t id, timespec* ts) { return static_cast<int>(syscall(SYS_clock_gettime, id, ts)); }

ClockFunction libraryClock() {
    void* next = dlsym(RTLD_NEXT, "clock_gettime");
    return next != nullptr ? reinterpret_cast<ClockFunction>(next) : &systemClock;
}

bool isMonotonic(clockid_t id) {
    return id == CLOCK_MONOTONIC || id == CLOCK_MONOTONIC_RAW || id == CLOCK_MONOTONIC_COARSE || id == CLOCK_BOOTTIME;
}
}  // namespace

extern "C" __attribute__((visibility("default"))) int clock_gettime(clockid_t id, struct timespec* ts) {
    if (virtual_clock::isEnabled() && isMonotonic(id)) {
        const uint64_t virtualMs = virtual_clock::now();
        ts->tv_sec = static_cast<time_t>(virtualMs / 1000);
        ts->tv_nsec = static_cast<long>((virtualMs % 1000) * 1000000);
        return 0;
    }
    static const ClockFunction real = libraryClock();
    return real(id, ts);
}
