// What one event costs the host, through the real module file.
//
// Each benchmark loads the module afresh (dlopen, RTLD_NOW | RTLD_LOCAL),
// sets a bot up through `talk` as a host would, then times `talk` for one
// kind of event. The floors are timed the same way: an empty entry in a
// module of its own, and a bare walk over a list built like a watch table
// (a heap node per entry, each pointing at a separately allocated item).
//
// Allocations are counted by this program's malloc, calloc and realloc,
// which the module's statically linked C++ runtime calls too; the counter
// `allocs` is per timed event. The module's clock is the host kit's virtual
// clock, exported by this program: the real monotonic clock, or virtual time
// where a sweep needs players to have been idle for minutes.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/protocol.h"
#include "hostkit/events.h"
#include "hostkit/host_records.h"
#include "hostkit/module_loader.h"
#include "hostkit/virtual_clock.h"

// ---- allocation counting ----

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {
uint64_t allocationCount = 0;
}

extern "C" __attribute__((visibility("default"))) void* malloc(size_t n) {
    ++allocationCount;
    return __libc_malloc(n);
}
extern "C" __attribute__((visibility("default"))) void* calloc(size_t n, size_t size) {
    ++allocationCount;
    return __libc_calloc(n, size);
}
extern "C" __attribute__((visibility("default"))) void* realloc(void* p, size_t n) {
    ++allocationCount;
    return __libc_realloc(p, n);
}
extern "C" __attribute__((visibility("default"))) void free(void* p) { __libc_free(p); }

namespace {

// ---- a host ----

uint64_t sentCount = 0;
void hostCallback(BotEvent& e) {
    ++sentCount;
    benchmark::DoNotOptimize(e.p[3]);
}

// A module file loaded for one benchmark; the program stops if it cannot be.
struct Module {
    hostkit::LoadedModule file;

    explicit Module(const char* path = IDLEWARDEN_MODULE_PATH) {
        std::string error;
        if (!hostkit::loadModule(path, file, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
    }
    ~Module() { hostkit::unloadModule(file); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    void talk(BotEvent& e) const { file.talk(e); }
};

using hostkit::event;
using hostkit::word;

// "<prefix><i>", e.g. P17.
std::string numbered(const char* prefix, int64_t i) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld", prefix, static_cast<long long>(i));
    return text;
}

// Host records with stable addresses; idents count up from 1.
struct Arena {
    hostkit::Roster roster;
    uint16_t joined = 0;

    PlayerRecord* join(int32_t access, const std::string& name, uint8_t ship = 1) {
        return roster.join(++joined, access, name, ship);
    }
};

struct Command {
    std::string name, params;
    CommandRecord record;
    Command(std::string n, std::string p)
        : name(std::move(n)), params(std::move(p)), record(hostkit::commandRecord(name.c_str(), params.c_str())) {}
};

// One bot with an operator, connected, with `afkMinutes` set and checking on
// (so every roster player in a ship is watched).
struct Bot {
    Module& module;
    Arena& arena;
    uintptr_t handle;
    PlayerRecord* op;

    Bot(Module& m, Arena& a, uintptr_t h) : module(m), arena(a), handle(h), op(nullptr) {}

    void send(BotEvent e) const { module.talk(e); }
    void connect() const {
        send(hostkit::connectEvent(handle, hostkit::CurrentVersion, &hostCallback, &arena.roster.list));
    }
    void command(const char* name, const char* params) const {
        Command c(name, params);
        send(event(handle, CommandIssued, word(op), word(&c.record)));
    }
    void enable(int afkMinutes) const {
        command("afktime", numbered("", afkMinutes).c_str());
        command("afkstatus", "on");
    }
};

// Allocations per call of `run`, measured over a batch before timing.
template <typename Run>
double allocationsPer(int calls, Run run) {
    const uint64_t before = allocationCount;
    for (int i = 0; i < calls; ++i) run();
    return static_cast<double>(allocationCount - before) / calls;
}

// ---- floors ----

void BM_FloorCall(benchmark::State& state) {
    Module floor(FLOOR_MODULE_PATH);
    BotEvent e = event(1, Tick);
    for (auto _ : state) {
        floor.talk(e);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FloorCall);

// A list shaped like the watch table: per entry one item then one node, each
// its own heap block; the walk finds the last entry's player and stamps it.
struct BareItem {
    PlayerRecord* player;
    uint32_t lastActive;
};
struct BareNode {
    BareItem* item;
    BareNode* next;
    BareNode* prev;
};

void BM_BareLoop(benchmark::State& state) {
    const int64_t n = state.range(0);
    std::vector<PlayerRecord> players(static_cast<size_t>(n));
    BareNode* first = nullptr;
    BareNode* last = nullptr;
    for (int64_t i = 0; i < n; ++i) {
        auto* item = new BareItem{&players[static_cast<size_t>(i)], 0};
        auto* node = new BareNode{item, nullptr, last};
        if (last == nullptr) {
            first = node;
        } else {
            last->next = node;
        }
        last = node;
    }
    const PlayerRecord* target = &players.back();
    uint32_t stamp = 0;
    for (auto _ : state) {
        BareNode* node = first;
        benchmark::DoNotOptimize(node);
        while (node != nullptr && node->item->player != target) node = node->next;
        if (node != nullptr) node->item->lastActive = ++stamp;
        benchmark::ClobberMemory();
    }
    for (BareNode* node = first; node != nullptr;) {
        BareNode* next = node->next;
        delete node->item;
        delete node;
        node = next;
    }
}
BENCHMARK(BM_BareLoop)->Arg(1)->Arg(16)->Arg(255)->Arg(1024);

// ---- events through talk ----

// Tick for the last of `bots` bots (the registry is walked from the front).
// Checking is on with an empty table: the tick counts down and returns.
void BM_Tick(benchmark::State& state) {
    Module module;
    Arena arena;
    PlayerRecord* op = arena.join(4, "Op", 8);  // spectating: never watched
    const auto bots = static_cast<uintptr_t>(state.range(0));
    for (uintptr_t h = 1; h <= bots; ++h) {
        Bot bot(module, arena, h);
        bot.op = op;
        bot.connect();
        bot.enable(60);
    }
    const BotEvent tick = event(bots, Tick);
    auto send = [&] {
        BotEvent e = tick;
        module.talk(e);
    };
    state.counters["allocs"] = allocationsPer(600, send);
    for (auto _ : state) send();
}
BENCHMARK(BM_Tick)->Arg(1)->Arg(64);

// WeaponFired of the player whose entry is last in a table of `n`.
void BM_WeaponFired(benchmark::State& state) {
    Module module;
    Arena arena;
    Bot bot(module, arena, 1);
    bot.op = arena.join(4, "Op", 8);
    PlayerRecord* shooter = nullptr;
    for (int64_t i = 0; i < state.range(0); ++i) shooter = arena.join(0, numbered("P", i));
    bot.connect();
    bot.enable(60);
    auto send = [&] {
        BotEvent e = event(1, WeaponFired, word(shooter));
        module.talk(e);
    };
    state.counters["allocs"] = allocationsPer(100, send);
    for (auto _ : state) send();
}
BENCHMARK(BM_WeaponFired)->Arg(1)->Arg(16)->Arg(255)->Arg(1024);

// A tick that sweeps `n` entries of which none is idle, measured as the
// whole sweep period: 60 ticks, one of which sweeps.
void BM_SweepPeriodNoneIdle(benchmark::State& state) {
    Module module;
    Arena arena;
    Bot bot(module, arena, 1);
    bot.op = arena.join(4, "Op", 8);
    for (int64_t i = 0; i < state.range(0); ++i) arena.join(0, numbered("P", i));
    bot.connect();
    bot.enable(60);  // an hour: nobody becomes idle during the run
    auto period = [&] {
        for (int i = 0; i < 60; ++i) {
            BotEvent e = event(1, Tick);
            module.talk(e);
        }
    };
    state.counters["allocs"] = allocationsPer(20, period);
    for (auto _ : state) period();
}
BENCHMARK(BM_SweepPeriodNoneIdle)->Arg(0)->Arg(255);

// The sweep tick alone with `n` entries all idle: between iterations (not
// timed) the table is refilled by a RosterReset, virtual time moves past
// the limit and the ticks before the sweep tick are delivered.
void BM_SweepAllIdle(benchmark::State& state) {
    Module module;
    Arena arena;
    Bot bot(module, arena, 1);
    bot.op = arena.join(4, "Op", 8);
    const int64_t n = state.range(0);
    for (int64_t i = 0; i < n; ++i) arena.join(0, numbered("P", i));
    virtual_clock::enable(1000);
    bot.connect();
    bot.enable(1);
    uint16_t counter = 0;  // the bot's countdown, mirrored: it counts only while checking is on
    auto tick = [&] {
        BotEvent e = event(1, Tick);
        module.talk(e);
        --counter;
    };
    uint64_t allocations = 0;
    const uint64_t sentBefore = sentCount;
    for (auto _ : state) {
        state.PauseTiming();
        BotEvent reset = event(1, RosterReset);
        module.talk(reset);
        virtual_clock::advance(61 * 1000);
        while (static_cast<uint16_t>(counter - 1) % 60 != 0) tick();
        const uint64_t before = allocationCount;
        state.ResumeTiming();
        tick();
        state.PauseTiming();
        allocations += allocationCount - before;
        state.ResumeTiming();
    }
    virtual_clock::disable();
    if (sentCount - sentBefore != static_cast<uint64_t>(state.iterations()) * 3u * static_cast<uint64_t>(n)) {
        state.SkipWithError("the sweep did not spectate every entry");
    }
    state.counters["allocs"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SweepAllIdle)->Arg(255);

// RosterReset with `n` players in ships: the table is emptied and refilled.
void BM_RosterReset(benchmark::State& state) {
    Module module;
    Arena arena;
    Bot bot(module, arena, 1);
    bot.op = arena.join(4, "Op", 8);
    for (int64_t i = 0; i < state.range(0); ++i) arena.join(0, numbered("P", i));
    bot.connect();
    bot.enable(60);
    auto send = [&] {
        BotEvent e = event(1, RosterReset);
        module.talk(e);
    };
    state.counters["allocs"] = allocationsPer(20, send);
    for (auto _ : state) send();
}
BENCHMARK(BM_RosterReset)->Arg(255);

// A command and its reply: "about" (a fixed line) and "afktime" without a
// parameter (a line composed with the number).
void commandBenchmark(benchmark::State& state, const char* name, const char* params) {
    Module module;
    Arena arena;
    Bot bot(module, arena, 1);
    bot.op = arena.join(4, "Op", 8);
    bot.connect();
    bot.enable(60);
    Command c(name, params);
    auto send = [&] {
        BotEvent e = event(1, CommandIssued, word(bot.op), word(&c.record));
        module.talk(e);
    };
    state.counters["allocs"] = allocationsPer(100, send);
    for (auto _ : state) send();
}
void BM_CommandAbout(benchmark::State& state) { commandBenchmark(state, "about", ""); }
void BM_CommandAfkTime(benchmark::State& state) { commandBenchmark(state, "afktime", ""); }
BENCHMARK(BM_CommandAbout);
BENCHMARK(BM_CommandAfkTime);

// listexempt with `n` names on the list: n + 4 reply lines.
void BM_ListExempt(benchmark::State& state) {
    Module module;
    Arena arena;
    Bot bot(module, arena, 1);
    bot.op = arena.join(4, "Op", 8);
    bot.connect();
    for (int64_t i = 0; i < state.range(0); ++i) bot.command("addexempt", numbered("Name", i).c_str());
    Command c("listexempt", "");
    auto send = [&] {
        BotEvent e = event(1, CommandIssued, word(bot.op), word(&c.record));
        module.talk(e);
    };
    state.counters["allocs"] = allocationsPer(20, send);
    for (auto _ : state) send();
}
BENCHMARK(BM_ListExempt)->Arg(100);

}  // namespace
