// POSIX pages and faults: mmap/mprotect, and a SIGSEGV (and SIGBUS) handler
// that hands the fault address to the reporter. The fault is synchronous:
// the module's own code touched the page, so the reporter runs in ordinary
// host state and may print and exit.
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include "memory_guard.h"

namespace hostsim {

namespace {

FaultReporter activeReporter = nullptr;

size_t rounded(size_t bytes) {
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

FaultAccess accessOf([[maybe_unused]] void* context) {
#if defined(__linux__) && defined(__x86_64__)
    // Bit 1 of the page-fault error code: the access was a write.
    const auto* uc = static_cast<const ucontext_t*>(context);
    return (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0 ? FaultAccess::Write : FaultAccess::Read;
#elif defined(__linux__) && defined(__i386__)
    const auto* uc = static_cast<const ucontext_t*>(context);
    return (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0 ? FaultAccess::Write : FaultAccess::Read;
#else
    return FaultAccess::Unknown;
#endif
}

void onFault(int signal, siginfo_t* info, void* context) {
    if (activeReporter != nullptr) activeReporter(info->si_addr, accessOf(context));
    // Not ours to report: the default action, once the faulting
    // instruction runs again.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
}

}  // namespace

void* allocatePages(size_t bytes) {
    void* start = mmap(nullptr, rounded(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return start == MAP_FAILED ? nullptr : start;
}

void freePages(void* start, size_t bytes) {
    if (start != nullptr) munmap(start, rounded(bytes));
}

bool makeInaccessible(void* start, size_t bytes) { return mprotect(start, rounded(bytes), PROT_NONE) == 0; }

void installFaultReporter(FaultReporter reporter) {
    activeReporter = reporter;
    struct sigaction action {};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGBUS, &action, nullptr);
}

}  // namespace hostsim
