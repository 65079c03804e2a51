// A clock that a host process owns and the loaded module reads.
//
// Once `enable` has been called, the module's tick count reads the virtual
// time; until then it reads the real clock. On POSIX (virtual_clock.cpp)
// every read of the monotonic clocks in the process answers with it; on
// Windows (virtual_clock_windows.cpp) the module's import of GetTickCount is
// redirected when the loader attaches it.
#pragma once

#include <cstdint>

namespace virtual_clock {

// Switches the process to virtual time, starting at `startMs` milliseconds.
void enable(uint64_t startMs);
// Back to the real clock.
void disable();
bool isEnabled();
// Milliseconds of virtual time.
uint64_t now();
void set(uint64_t ms);
void advance(uint64_t ms);

}  // namespace virtual_clock
