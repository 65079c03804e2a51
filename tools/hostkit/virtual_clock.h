// A clock that a host process owns and the loaded module reads.
//
// Once `enable` has been called, the module's tick count reads the virtual
// time; until then, and after `disable`, it reads the real clock. How the
// module is reached depends on the system:
// - POSIX (virtual_clock_posix.cpp): the program defines and exports
//   clock_gettime, so the program itself must be linked with exported symbols
//   (CMake ENABLE_EXPORTS). While virtual time is on, every monotonic clock
//   (CLOCK_MONOTONIC, _RAW, _COARSE and CLOCK_BOOTTIME) read anywhere in the
//   process answers with it; every other clock goes to the C library.
// - Windows (virtual_clock_windows.cpp): `attachToModule` points the module's
//   import of KERNEL32!GetTickCount at the virtual clock; nothing else in the
//   process is touched. The kit's loader does this at load.
// None of these operations can fail or allocate. One clock per process, not
// safe to move from several threads at once.
#pragma once

#include <cstdint>
#include <string>

namespace virtual_clock {

// Switches the process to virtual time, starting at `startMs` milliseconds.
void enable(uint64_t startMs);
// Back to the real clock; the virtual time is kept.
void disable();
bool isEnabled();
// Milliseconds of virtual time.
uint64_t now();
void set(uint64_t ms);
void advance(uint64_t ms);

// Virtual time for as long as the scope lives, starting at `startMs`.
struct Scope {
    explicit Scope(uint64_t startMs) { enable(startMs); }
    ~Scope() { disable(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

#ifdef _WIN32
// Windows: redirects the loaded module's import of KERNEL32!GetTickCount to
// the virtual clock. `module` is the HMODULE of LoadLibraryA. False, with
// `error` set to a one-line reason, when the module has no such import or
// its import table cannot be written; the module is left as it was.
bool attachToModule(void* module, std::string& error);
#endif

}  // namespace virtual_clock
