// Allocation failures: for every n, the full scenario runs with the n-th
// allocation failing, once with that one failure only and once with every
// allocation failing from the n-th to the end of that event. Each run must
// leave every list consistent, send only well-formed events, leak nothing
// (the program's own block count, and LeakSanitizer when built with it),
// and keep working afterwards: with memory back, the first bot still
// answers its commands.
//
// operator new is replaced in this program, in every form; the module's
// body, linked in statically, calls these. It allocates only with the
// non-throwing forms, so a failure of a throwing form inside a run is a
// fault of its own.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/registry.h"
#include "hostkit/scratch_dir.h"
#include "registry_checks.h"
#include "scenario.h"

namespace {

struct Allocator {
    bool armed = false;       // counting and failing are on
    uint64_t seen = 0;        // allocations asked for while armed
    uint64_t failAt = 0;      // 0: none fails
    bool failOnward = false;  // every allocation from failAt on fails, until the event ends
    bool failing = false;     // inside such a run of failures
    uint64_t failed = 0;
    int64_t liveBlocks = 0;  // successful allocations not yet released
} alloc;

bool shouldFail() {
    if (!alloc.armed) return false;
    ++alloc.seen;
    if (alloc.seen == alloc.failAt) alloc.failing = true;
    const bool fail = alloc.seen == alloc.failAt || (alloc.failOnward && alloc.failing);
    if (fail) ++alloc.failed;
    return fail;
}

void* allocate(size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p != nullptr) ++alloc.liveBlocks;
    return p;
}

void release(void* p) {
    if (p == nullptr) return;
    --alloc.liveBlocks;
    std::free(p);
}

[[noreturn]] void throwingFormFailed() {
    std::fprintf(stderr, "FAIL: a throwing operator new was made to fail while the module ran\n");
    std::abort();
}

}  // namespace

void* operator new(size_t size) {
    if (shouldFail()) throwingFormFailed();
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    if (shouldFail()) throwingFormFailed();
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return shouldFail() ? nullptr : allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return shouldFail() ? nullptr : allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, size_t) noexcept { release(p); }
void operator delete[](void* p, size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

namespace {

idlewarden::InstanceRegistry* registry = nullptr;
const char* brokenList = nullptr;

void sendToRegistry(BotEvent& e) { registry->deliver(e); }

void afterEvent() {
    // The host's side of the callback ran disarmed; lists are checked
    // without allocating.
    const bool wasArmed = alloc.armed;
    alloc.armed = false;
    if (brokenList == nullptr) brokenList = checks::registryProblem(*registry);
    alloc.failing = false;  // a run of failures ends with its event
    alloc.armed = wasArmed;
}

struct Outcome {
    uint64_t allocations = 0;
    const char* problem = nullptr;
};

// One full run: scenario with failure at `failAt` (0: none), then the
// after-checks with memory working, then teardown and the leak count.
Outcome runOnce(uint64_t failAt, bool onward) {
    Outcome out;
    if (!scenario::writeSettingsFile()) {
        out.problem = "cannot write the settings file";
        return out;
    }
    scenario::recorder.reset();
    brokenList = nullptr;
    static scenario::Host host{&sendToRegistry, &afterEvent};
    host.setUp();

    const int64_t blocksBefore = alloc.liveBlocks;
    registry = new (std::nothrow) idlewarden::InstanceRegistry;
    alloc = Allocator{true, 0, failAt, onward, false, 0, alloc.liveBlocks};
    scenario::run(host);
    alloc.armed = false;
    out.allocations = alloc.seen;

    // Memory is back: the first bot still answers.
    const char* checks[][2] = {{"afktime", ""}, {"afkstatus", ""}, {"about", ""}, {"listexempt", ""}};
    for (const auto& c : checks) {
        const uint32_t before = scenario::recorder.chats;
        host.command(scenario::FirstBot, host.op(), c[0], c[1]);
        if (scenario::recorder.chats == before && out.problem == nullptr) out.problem = "no answer after the failure";
        if (scenario::recorder.lastHandle != scenario::FirstBot && out.problem == nullptr) {
            out.problem = "answer under another handle";
        }
    }
    const uint32_t sentBeforeTeardown = scenario::recorder.events;
    delete registry;  // the module's unload
    registry = nullptr;
    if (scenario::recorder.events != sentBeforeTeardown && out.problem == nullptr) out.problem = "sent during unload";
    if (alloc.liveBlocks != blocksBefore && out.problem == nullptr) out.problem = "blocks left allocated";
    if (brokenList != nullptr && out.problem == nullptr) out.problem = brokenList;
    if (scenario::recorder.problem != nullptr && out.problem == nullptr) out.problem = scenario::recorder.problem;
    return out;
}

}  // namespace

int main() {
    // The settings file belongs in a directory of its own, in memory when
    // the system has it: the save flushes to the disk.
    hostkit::ScratchDir dir;
    if (!dir.enter("idlewarden-alloc")) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    Outcome clean = runOnce(0, false);
    if (clean.problem == nullptr && scenario::recorder.spectated == 0) clean.problem = "nobody was spectated";
    if (clean.problem != nullptr) {
        std::fprintf(stderr, "FAIL: the scenario itself: %s\n", clean.problem);
        return 1;
    }
    std::printf("scenario: %llu allocations, %u events sent, %u spectations\n",
                static_cast<unsigned long long>(clean.allocations), scenario::recorder.events,
                scenario::recorder.spectated);
    int passed = 0;
    int failed = 0;
    for (int onward = 0; onward <= 1; ++onward) {
        for (uint64_t n = 1; n <= clean.allocations; ++n) {
            const Outcome o = runOnce(n, onward != 0);
            if (o.problem == nullptr) {
                ++passed;
            } else {
                ++failed;
                std::fprintf(stderr, "FAIL: allocation %llu%s: %s\n", static_cast<unsigned long long>(n),
                             onward ? " and onward" : "", o.problem);
            }
        }
    }
    dir.leave();
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
