// Pages that the host can take away from the module, and the report of a
// module that touches one after that.
//
// A record that the host has released (strict records, docs/hostsim.md) is
// made inaccessible; a read or write of it then faults, and the fault
// reporter names the record and the statement instead of the process
// dying without a word. One implementation per system:
// memory_guard_posix.cpp (mmap, mprotect, a SIGSEGV handler) and
// memory_guard_windows.cpp (VirtualAlloc, VirtualProtect, a vectored
// exception handler).
#pragma once

#include <cstddef>

namespace hostsim {

// Whole pages, zero-filled and readable and writable; nullptr on failure.
// `bytes` is rounded up to the page size.
void* allocatePages(size_t bytes);
void freePages(void* start, size_t bytes);
// Makes the pages holding [start, start + bytes) inaccessible.
bool makeInaccessible(void* start, size_t bytes);

enum class FaultAccess { Read, Write, Unknown };

// Called on a memory fault with the address touched. A reporter that
// returns lets the fault take its usual course (the process crashes).
using FaultReporter = void (*)(const void* address, FaultAccess access);
void installFaultReporter(FaultReporter reporter);

}  // namespace hostsim
