// The virtual time itself; virtual_clock_posix.cpp and
// virtual_clock_windows.cpp hand it to the module.
#include "virtual_clock.h"

namespace virtual_clock {

namespace {
bool virtualOn = false;
uint64_t virtualMs = 0;
}  // namespace

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
