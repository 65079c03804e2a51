// Fuzz target: whole sessions of host events through InstanceRegistry::deliver.
//
// The input is read as a program for a host that keeps its promises: player
// records stay valid until the bot was told of the departure (PlayerLeft, or
// a RosterReset after the player left the roster), a player leaves the
// roster before either is delivered, and only then is the record freed (so
// AddressSanitizer sees any later read). Each of three handles (0 among
// them) has its own roster. Commands, help topics, access levels, versions,
// clock jumps and the settings file's text come from the input.
//
// After every event: each outgoing event was well formed, carried the bot's
// handle, came from an enabled bot with a callback, during that bot's
// event, and (for chat) went to a player whose record is live; every list
// of the registry walks to its nodeCount with consistent links; and every
// watched record is a live player of that bot.
//
// Built with IDLEWARDEN_FUZZ_REENTRY (the target fuzz_reentry), the host
// also breaks the one promise it may break: from inside its callback, when
// the input says so, it runs one more step of the program, nested up to
// three deep. The checks above hold all the same.
//
// The settings file lives in the current directory: the target moves to a
// fresh temporary directory when it starts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/registry.h"
#include "hostkit/events.h"
#include "hostkit/host_records.h"
#include "hostkit/outgoing.h"
#include "hostkit/scratch_dir.h"
#include "hostkit/virtual_clock.h"
#include "registry_checks.h"
#include "settings/settings.h"

using idlewarden::InstanceRegistry;

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what) {
    if (!ok) fail(what);
}

struct Reader {
    const uint8_t* p;
    const uint8_t* end;

    bool more() const { return p < end; }
    uint8_t byte() { return p < end ? *p++ : 0; }
    uint32_t word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
        return v;
    }
    // Bytes up to a NUL or the end, at most `limit`.
    std::string text(size_t limit) {
        std::string s;
        while (p < end && *p != 0 && s.size() < limit) s.push_back(static_cast<char>(*p++));
        if (p < end && *p == 0) ++p;
        return s;
    }
};

// One bot as its host sees it.
struct World {
    uintptr_t handle = 0;
    hostkit::Roster players;  // every record not yet released, and the roster
    bool refused = false;     // a handshake was refused
    bool refusing = false;    // the Connect being delivered is refused
    bool hasCallback = false;

    void reset(uintptr_t worldHandle) {
        handle = worldHandle;
        players.clear();
        refused = refusing = hasCallback = false;
    }
};

constexpr size_t WorldCount = 3;
World worlds[WorldCount];
World* current = nullptr;  // the world whose event is being delivered
uint16_t nextIdent = 1;
bool trace = false;  // IDLEWARDEN_FUZZ_TRACE set: print what is sent

#if defined(IDLEWARDEN_FUZZ_REENTRY)
constexpr bool Reentry = true;
#else
constexpr bool Reentry = false;
#endif
constexpr int MaxNesting = 3;
InstanceRegistry* liveRegistry = nullptr;  // the registry of the input being run
Reader* input = nullptr;                   // and its program
int nesting = 0;

void step(InstanceRegistry& registry, Reader& in);

// Re-entry mode: one nested step when the next byte says so. Only chat
// re-enters: the handshake's log lines are single and end their event.
void maybeReenter(const BotEvent& e) {
    if (!Reentry || e.code != SendChat || nesting >= MaxNesting || input == nullptr || !input->more()) return;
    if ((input->byte() & 3) != 0) return;
    ++nesting;
    step(*liveRegistry, *input);
    --nesting;
}

void hostCallback(BotEvent& e) {
    if (current == nullptr) fail("sent outside an event");
    check(e.handle == current->handle && e.handle != 0, "answer without the bot's handle");
    check(!current->refused, "a refused bot sent");
    check(current->hasCallback, "sent without a callback");
    if (trace) {
        const uintptr_t text = e.code == HostLog ? e.p[0] : e.p[3];
        std::fprintf(stderr, "[%lu] %s %lu: %s\n", static_cast<unsigned long>(e.handle),
                     e.code == HostLog ? "log" : "chat", static_cast<unsigned long>(e.p[2]),
                     reinterpret_cast<const char*>(text));
    }
    if (const char* problem = hostkit::outgoingProblem(e)) fail(problem);
    check(std::strlen(hostkit::outgoingText(e)) < 1024, "text length");
    if (e.code == SendChat) check(current->players.find(e.p[2]) != nullptr, "chat to a player who has left");
    maybeReenter(e);
}

const uintptr_t Handles[WorldCount] = {
    1, 0, sizeof(uintptr_t) == 8 ? static_cast<uintptr_t>((uint64_t{1} << 40) | 7) : 0xFFFFFFF7u};
const int32_t Levels[] = {0, 1, 2, 3, 4, 12, 13, -1, INT32_MIN, INT32_MAX, 5, 8};
const char* const Names[] = {"Bob", "bOB", "alice", "Alice ", "LongNameOfMoreThan19Chars", "LongNameOfMoreThan19", "x"};
const char* const Commands[] = {"afktime",      "addexempt", "delexempt", "listexempt",
                                "afksavesetts", "afkstatus", "about",     "version",
                                "AFKTIME",      "afktime ",  ""};
const char* const Params[] = {"",   "on",    "off", "ON",  "oFf",     "1",         "5",          "0",
                              "-1", "65536", "007", "Bob", "afktime", "afkstatus", "listexempt", " on"};
const uint64_t Jumps[] = {1, 999, 1000, 60000, 300000, 3660000, 0x80000000u, 0xFFFFFFFFu, 0x100000000u};
const uint32_t Versions[] = {hostkit::version(6, 6),
                             hostkit::version(6, 7),
                             hostkit::version(6, 0xFFFF),
                             hostkit::version(6, 5),
                             hostkit::version(5, 9),
                             hostkit::version(7, 0),
                             0};

template <typename T, size_t N>
const T& pick(const T (&table)[N], Reader& in) {
    return table[in.byte() % N];
}

// A new record, not yet on the roster.
PlayerRecord* newPlayer(World& w, Reader& in) {
    const uint16_t ident = nextIdent++;
    if (nextIdent == 0) nextIdent = 1;
    const int32_t access = pick(Levels, in);
    const uint8_t how = in.byte();
    std::string name = (how & 1) ? std::string(pick(Names, in)) : in.text(sizeof(PlayerRecord::name) - 1);
    const auto ship = static_cast<uint8_t>((how >> 1) % 10);  // 8 is the spectator ship, 9 any other
    return w.players.make(ident, access, name, ship);
}

PlayerRecord* somePlayer(World& w, Reader& in) {
    if (w.players.count() == 0) return nullptr;
    return w.players.at(in.byte() % w.players.count());
}

using hostkit::word;

void runChecks(const InstanceRegistry& registry) {
    if (const char* problem = checks::registryProblem(registry)) fail(problem);
    for (auto* node = registry.instances.firstNode; node != nullptr; node = node->nextNode) {
        const idlewarden::BotInstance& bot = *node->item;
        const World* w = nullptr;
        for (const World& candidate : worlds) {
            if (candidate.handle == bot.handle) w = &candidate;
        }
        check(w != nullptr, "instance of a handle never used");
        check(bot.disabled == (w->refused || w->refusing), "disabled differs from the handshakes seen");
        // A refused bot reads nothing again, so the records it still points
        // to may be gone; it only releases its entries at unload.
        if (bot.disabled) continue;
        for (auto* e = bot.watchTable.firstNode; e != nullptr; e = e->nextNode) {
            check(w->players.isLive(e->item->player), "watched record is not a live player");
        }
    }
}

void deliver(InstanceRegistry& registry, World& w, BotEvent e) {
    e.handle = w.handle;
    World* const outer = current;  // set when this event is re-entered
    current = &w;
    registry.deliver(e);
    current = outer;
    runChecks(registry);
}

// An event for `deliver`, which sets the handle.
BotEvent make(uint32_t code, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0) {
    return hostkit::event(0, code, p0, p1, p2);
}

void command(InstanceRegistry& registry, World& w, Reader& in, uint32_t code) {
    PlayerRecord* issuer = somePlayer(w, in);
    if (issuer == nullptr) return;
    const uint8_t how = in.byte();
    if (how & 1) issuer->access = pick(Levels, in);  // the host's record may change between events
    std::string name = (how & 2) ? in.text(40) : std::string(pick(Commands, in));
    std::string params;
    if (how & 4) {
        params = in.text(300);
    } else if (how & 8) {
        PlayerRecord* other = somePlayer(w, in);
        params = other != nullptr ? other->name : "";
    } else {
        params = pick(Params, in);
    }
    CommandRecord record = hostkit::commandRecord(name.c_str(), params.c_str());
    deliver(registry, w, make(code, word(issuer), word(&record)));
}

void writeSettingsFile(const std::string& text) {
    if (std::FILE* f = std::fopen(idlewarden::SettingsFileName, "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

void step(InstanceRegistry& registry, Reader& in) {
    const uint8_t op = in.byte();
    World& w = worlds[(op >> 5) % WorldCount];
    switch (op & 31) {
        case 0:
        case 1: {
            const uint8_t how = in.byte();
            const uint32_t version = (how & 1) ? in.word() : pick(Versions, in);
            const bool withCallback = (how & 6) != 0;
            const bool withRoster = (how & 24) != 0;
            const uintptr_t versionWord = (how & 32) ? (~uintptr_t{0} << 16 << 16) | version : version;
            const uint16_t major = static_cast<uint16_t>(version >> 16);
            const uint16_t minor = static_cast<uint16_t>(version);
            if (!w.refused) {
                w.hasCallback = withCallback;
                w.refusing = major != 6 || minor < 6;
            }
            deliver(registry, w,
                    hostkit::connectEvent(0, versionWord, withCallback ? &hostCallback : nullptr,
                                          withRoster ? &w.players.list : nullptr));
            w.refused = w.refused || w.refusing;
            w.refusing = false;
            break;
        }
        case 2: deliver(registry, w, make(Disconnect)); break;
        case 3:
        case 4:
        case 5: {
            const uint32_t ticks = 1 + in.byte() % 120;
            for (uint32_t i = 0; i < ticks; ++i) deliver(registry, w, make(Tick));
            break;
        }
        case 6:
        case 7: {
            const uint8_t how = in.byte();
            virtual_clock::advance((how & 1) ? in.word() : pick(Jumps, in));
            break;
        }
        case 8:
        case 9: {
            PlayerRecord* p = newPlayer(w, in);
            w.players.append(p);
            deliver(registry, w, make(PlayerArrived, word(p)));
            break;
        }
        case 10: {
            PlayerRecord* p = somePlayer(w, in);
            if (p == nullptr) break;
            w.players.leave(p);
            deliver(registry, w, make(PlayerLeft, word(p)));
            w.players.release(p);
            break;
        }
        case 11: {
            // Off the roster; the bot is told later (PlayerLeft or RosterReset).
            PlayerRecord* p = somePlayer(w, in);
            if (p != nullptr) w.players.leave(p);
            break;
        }
        case 12:
        case 13: {
            PlayerRecord* p = somePlayer(w, in);
            if (p == nullptr) break;
            const uint8_t oldShip = p->ship;
            const uint8_t how = in.byte();
            p->ship = static_cast<uint8_t>(how % 10);
            const uintptr_t oldWord = (how & 0x80) ? (uintptr_t{in.byte()} << 16) | oldShip : oldShip;
            deliver(registry, w, make(ShipChanged, word(p), oldWord));
            break;
        }
        case 14: {
            PlayerRecord* p = somePlayer(w, in);
            if (p == nullptr) break;
            p->ship = SpectatorShip;
            deliver(registry, w, make(PlayerSpectated, word(p)));
            break;
        }
        case 15:
        case 16:
        case 17: {
            PlayerRecord* p = somePlayer(w, in);
            if (p != nullptr) deliver(registry, w, make(WeaponFired, word(p)));
            break;
        }
        case 18: {
            // Some leave the roster, some join, then the reset; whoever is
            // off the roster afterwards is released.
            const uint8_t leaving = in.byte();
            std::vector<PlayerRecord*> present;
            for (const HostPlayerNode* n = w.players.list.first; n != nullptr; n = n->next) present.push_back(n->item);
            for (size_t i = 0; i < present.size(); ++i) {
                if (((leaving >> (i % 8)) & 1) != 0) w.players.leave(present[i]);
            }
            const uint32_t joining = in.byte() % 6;
            for (uint32_t i = 0; i < joining; ++i) w.players.append(newPlayer(w, in));
            deliver(registry, w, make(RosterReset));
            std::vector<PlayerRecord*> gone;
            for (size_t i = 0; i < w.players.count(); ++i) {
                if (!w.players.onRoster(w.players.at(i))) gone.push_back(w.players.at(i));
            }
            for (PlayerRecord* p : gone) w.players.release(p);
            break;
        }
        case 19:
        case 20:
        case 21:
        case 22: command(registry, w, in, CommandIssued); break;
        case 23:
        case 24: command(registry, w, in, HelpRequested); break;
        case 25: writeSettingsFile(in.text(2048)); break;
        case 26: {
            // A code without a handler; above 40 the words are junk.
            const uint32_t code = in.word();
            const bool handled = code == Connect || code == Disconnect || code == Tick || code == RosterReset ||
                                 code == PlayerArrived || code == ShipChanged || code == PlayerSpectated ||
                                 code == PlayerLeft || code == CommandIssued || code == HelpRequested ||
                                 code == WeaponFired;
            if (handled) break;
            const uintptr_t junk = code > HighestCode ? 0x10 : 0;
            deliver(registry, w, make(code, junk, junk, junk));
            break;
        }
        default: {
            // A tick that is a sweep whenever the countdown allows it: sixty in a row.
            for (int i = 0; i < 60; ++i) deliver(registry, w, make(Tick));
            break;
        }
    }
}

}  // namespace

namespace {
hostkit::ScratchDir workDirectory;

void removeWorkDirectory() { workDirectory.leave(); }
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Fresh directory for the settings file, in memory when the system has it.
    if (!workDirectory.enter("idlewarden-fuzz")) fail("no temporary directory");
    std::atexit(removeWorkDirectory);
    trace = std::getenv("IDLEWARDEN_FUZZ_TRACE") != nullptr;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 14) return 0;
    Reader in{data, data + size};
    std::remove(idlewarden::SettingsFileName);
    // Start anywhere on the 32-bit millisecond clock, near its wrap included.
    virtual_clock::enable((uint64_t{in.byte()} << 24) * 0x100u + in.word());
    nextIdent = 1;
    for (size_t i = 0; i < WorldCount; ++i) worlds[i].reset(Handles[i]);
    {
        InstanceRegistry registry;
        liveRegistry = &registry;
        input = &in;
        for (int steps = 0; steps < 400 && in.more(); ++steps) step(registry, in);
        input = nullptr;
        liveRegistry = nullptr;
        // Unload: nothing may be sent.
        current = nullptr;
        registry.teardown();
        runChecks(registry);
    }
    for (World& w : worlds) w.players.clear();
    virtual_clock::disable();
    return 0;
}
