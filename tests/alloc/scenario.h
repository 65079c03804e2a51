// A full session of two bots, as a host would run it: connect with a
// settings file present, roster, arrivals, every operator command, help,
// shots, sweeps that spectate idle players, departures, a save and a
// reconnect that reads it back. Shared by the allocation-failure suite and
// the unload check.
//
// The host's records are made before the run (Host::setUp) and the recorder
// keeps no heap text, so the programs that run the scenario allocate nothing
// of their own while it runs: every allocation they see is the module's.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/protocol.h"
#include "hostkit/events.h"
#include "hostkit/host_records.h"
#include "hostkit/outgoing.h"
#include "hostkit/virtual_clock.h"

namespace scenario {

constexpr uintptr_t FirstBot = 1;
constexpr uintptr_t SecondBot = 0x7000;

// Name4 repeats Name1 in other letters: the load's duplicate index sees it.
inline const char* const SettingsText =
    "[Settings]\nEnabled=1\nAfkTime=2\n[Exemptions]\nName1=Zed\nName2=Quinn\nName3=LongNameOverNineteenChars\n"
    "Name4=zED\n";

// What the host has seen, without allocating.
struct Recorder {
    uint32_t events = 0;
    uint32_t chats = 0;
    uint32_t spectated = 0;  // "*spec" commands sent
    uintptr_t lastHandle = 0;
    char lastText[256] = {};
    const char* problem = nullptr;  // first malformed event
    bool open = false;              // inside a call of `talk`

    void reset() { *this = Recorder{}; }
};

inline Recorder recorder;

inline void note(const char* what) {
    if (recorder.problem == nullptr) recorder.problem = what;
}

inline void hostCallback(BotEvent& e) {
    Recorder& r = recorder;
    ++r.events;
    r.lastHandle = e.handle;
    if (!r.open) note("sent outside an event");
    if (const char* problem = hostkit::outgoingProblem(e)) note(problem);
    if (e.code == SendChat) ++r.chats;
    const char* text = hostkit::outgoingText(e);
    if (text == nullptr) return;
    std::snprintf(r.lastText, sizeof r.lastText, "%s", text);
    if (std::strcmp(text, "*spec") == 0) ++r.spectated;
}

// The host's side: players, roster and the means to send.
struct Host {
    void (*send)(BotEvent&);  // the module's `talk` or an equivalent
    void (*afterEvent)();     // called after each event returns, when given

    hostkit::Roster roster;
    PlayerRecord* players[6] = {};

    explicit Host(void (*sender)(BotEvent&), void (*after)() = nullptr) : send(sender), afterEvent(after) {}

    PlayerRecord* op() { return players[0]; }

    // Fresh records: the first five are present at the start; "Late"
    // arrives later.
    void setUp() {
        roster.clear();
        const struct {
            uint16_t ident;
            int32_t access;
            const char* name;
            uint8_t ship;
        } table[] = {{1, 4, "Op", 1},   {2, 0, "Pilot", 2}, {3, 0, "Zed", 3},
                     {4, 0, "Spec", 8}, {5, 2, "Mod", 4},   {6, 0, "Late", 5}};
        for (int i = 0; i < 6; ++i) {
            players[i] = roster.make(table[i].ident, table[i].access, table[i].name, table[i].ship);
            if (i < 5) roster.append(players[i]);
        }
    }

    void deliver(uintptr_t handle, uint32_t code, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0) {
        deliver(hostkit::event(handle, code, p0, p1, p2));
    }
    void deliver(BotEvent e) {
        recorder.open = true;
        send(e);
        recorder.open = false;
        if (afterEvent != nullptr) afterEvent();
    }

    void connect(uintptr_t handle) {
        deliver(hostkit::connectEvent(handle, hostkit::CurrentVersion, &hostCallback, &roster.list));
    }

    void command(uintptr_t handle, PlayerRecord* issuer, const char* name, const char* params,
                 uint32_t code = CommandIssued) {
        CommandRecord record = hostkit::commandRecord(name, params);
        deliver(handle, code, hostkit::word(issuer), hostkit::word(&record));
    }

    void ticks(uintptr_t handle, int n) {
        for (int i = 0; i < n; ++i) deliver(handle, Tick);
    }

    void arrive(int index) {
        roster.append(players[index]);
        deliver(FirstBot, PlayerArrived, hostkit::word(players[index]));
    }
};

// Writes the settings file that the first Connect reads.
inline bool writeSettingsFile() {
    std::FILE* file = std::fopen("Idlewarden.ini", "wb");
    if (file == nullptr) return false;
    const size_t n = std::strlen(SettingsText);
    const bool ok = std::fwrite(SettingsText, 1, n, file) == n;
    return std::fclose(file) == 0 && ok;
}

// The session itself. Steps only; the caller checks what it needs.
inline void run(Host& host) {
    virtual_clock::enable(0xFFFF0000u);  // a minute short of the 32-bit wrap
    PlayerRecord* op = host.op();
    PlayerRecord* pilot = host.players[1];
    PlayerRecord* mod = host.players[4];
    PlayerRecord* late = host.players[5];

    host.connect(FirstBot);   // loads: on, 2 minutes, three names
    host.connect(SecondBot);  // the same file, a second instance
    host.deliver(FirstBot, RosterReset);
    host.arrive(5);
    host.command(FirstBot, op, "afkstatus", "");
    host.command(FirstBot, op, "afktime", "");
    host.command(FirstBot, op, "afktime", "3");
    host.command(FirstBot, op, "afktime", "x3");
    host.command(FirstBot, op, "addexempt", "Pilot");
    host.command(FirstBot, op, "addexempt", "pilot");
    host.command(FirstBot, op, "listexempt", "");
    host.command(FirstBot, op, "delexempt", "Pilot");
    host.command(FirstBot, op, "delexempt", "Nobody");
    host.command(FirstBot, mod, "afkstatus", "off");
    host.command(FirstBot, mod, "afkstatus", "ON");
    host.command(FirstBot, op, "version", "");
    host.command(FirstBot, op, "", "afktime", HelpRequested);
    host.command(FirstBot, mod, "", "", HelpRequested);
    host.deliver(FirstBot, WeaponFired, hostkit::word(pilot));
    virtual_clock::advance(4 * 60 * 1000);  // across the wrap
    host.deliver(FirstBot, WeaponFired, hostkit::word(pilot));
    host.ticks(FirstBot, 120);  // two sweep periods: the idle ones are spectated
    host.deliver(FirstBot, ShipChanged, hostkit::word(late), SpectatorShip);
    host.deliver(FirstBot, PlayerSpectated, hostkit::word(pilot));
    host.roster.leave(late);
    host.deliver(FirstBot, PlayerLeft, hostkit::word(late));
    host.command(FirstBot, op, "addexempt", "Newcomer");
    host.command(FirstBot, op, "afksavesetts", "");
    host.command(SecondBot, op, "afktime", "9");
    host.command(SecondBot, op, "listexempt", "");
    host.deliver(FirstBot, Disconnect);
    host.connect(FirstBot);  // reads the saved file back
    host.command(FirstBot, op, "listexempt", "");
    host.deliver(FirstBot, RosterReset);
    virtual_clock::advance(10 * 60 * 1000);
    host.ticks(FirstBot, 60);
    host.command(SecondBot, op, "afkstatus", "off");
}

}  // namespace scenario
