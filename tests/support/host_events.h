// Incoming events built as a host builds them. Header-only and free of any
// test framework, so benchmarks and plain drivers can share it.
#pragma once

#include <cstdint>

#include "host/protocol.h"

namespace test {

inline BotEvent event(uintptr_t handle, uint32_t code, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0) {
    BotEvent e{};
    e.handle = handle;
    e.code = code;
    e.p[0] = p0;
    e.p[1] = p1;
    e.p[2] = p2;
    return e;
}

inline uintptr_t word(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

// The version word of Connect: major in the high 16 bits, minor in the low.
inline uint32_t version(uint16_t major, uint16_t minor) { return (uint32_t{major} << 16) | minor; }

}  // namespace test
