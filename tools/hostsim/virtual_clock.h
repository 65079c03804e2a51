// A clock that a host process owns and the loaded module reads.
//
// Once `enable` has been called, every read of the monotonic clocks in this
// process (the module's tick count included) returns the virtual time; until
// then they read the real clock. Linux only: see virtual_clock.cpp.
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
