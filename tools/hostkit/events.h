// Incoming events built as a host builds them, and the words they carry.
// Header-only; none of these can fail or allocate.
#pragma once

#include <cstdint>

#include "host/protocol.h"

namespace hostkit {

// An event with `handle`, `code` and the first three parameter words; the
// other words are zero.
inline BotEvent event(uintptr_t handle, uint32_t code, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0) {
    BotEvent e{};
    e.handle = handle;
    e.code = code;
    e.p[0] = p0;
    e.p[1] = p1;
    e.p[2] = p2;
    return e;
}

// A pointer as the parameter word that carries it.
inline uintptr_t word(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }
inline uintptr_t word(HostCallback callback) { return reinterpret_cast<uintptr_t>(callback); }

// The version word of Connect: major in the high 16 bits, minor in the low.
constexpr uint32_t version(uint16_t major, uint16_t minor) { return (uint32_t{major} << 16) | minor; }
// The host version that the module accepts (6.6).
constexpr uint32_t CurrentVersion = version(6, 6);

// Connect with a version word, the callback and the roster (either may be null).
inline BotEvent connectEvent(uintptr_t handle, uintptr_t versionWord, HostCallback callback,
                             const HostPlayerList* roster) {
    return event(handle, Connect, versionWord, word(callback), word(roster));
}

}  // namespace hostkit
