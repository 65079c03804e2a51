// Windows pages and faults: VirtualAlloc/VirtualProtect, and a vectored
// exception handler that hands the address of an access violation to the
// reporter. The fault is synchronous: the module's own code touched the
// page, so the reporter runs in ordinary host state and may print and exit.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "memory_guard.h"

namespace hostsim {

namespace {

FaultReporter activeReporter = nullptr;

LONG CALLBACK onException(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    // Every other exception (C++ exceptions among them) is not ours.
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record->NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    // Word 0: 0 a read, 1 a write, 8 an execution; word 1: the address.
    const ULONG_PTR kind = record->ExceptionInformation[0];
    const FaultAccess access = kind == 0 ? FaultAccess::Read : kind == 1 ? FaultAccess::Write : FaultAccess::Unknown;
    if (activeReporter != nullptr) {
        activeReporter(reinterpret_cast<const void*>(record->ExceptionInformation[1]), access);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void* allocatePages(size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }

void freePages(void* start, size_t) {
    if (start != nullptr) VirtualFree(start, 0, MEM_RELEASE);
}

bool makeInaccessible(void* start, size_t bytes) {
    DWORD old = 0;
    return VirtualProtect(start, bytes, PAGE_NOACCESS, &old) != 0;
}

void installFaultReporter(FaultReporter reporter) {
    activeReporter = reporter;
    AddVectoredExceptionHandler(1, onException);
}

}  // namespace hostsim
