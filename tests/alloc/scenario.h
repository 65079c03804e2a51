// A full session of two bots, as a host would run it: connect with a
// settings file present, roster, arrivals, every operator command, help,
// shots, sweeps that spectate idle players, departures, a save and a
// reconnect that reads it back. Shared by the allocation-failure suite and
// the unload check.
//
// Everything here lives in static storage and the recorder keeps no heap
// text, so the programs that run the scenario allocate nothing of their own
// while it runs: every allocation they see is the module's.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/protocol.h"
#include "host_events.h"
#include "virtual_clock.h"

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
    const char* text = nullptr;
    if (e.code == HostLog) {
        for (int i = 1; i < 6; ++i) {
            if (e.p[i] != 0) note("log event with a parameter set");
        }
        text = reinterpret_cast<const char*>(e.p[0]);
    } else if (e.code == SendChat) {
        ++r.chats;
        if (e.p[0] != PrivateChat || e.p[1] != 0 || e.p[4] != 0 || e.p[5] != 0) note("chat words");
        text = reinterpret_cast<const char*>(e.p[3]);
    } else {
        note("unknown outgoing code");
    }
    if (text == nullptr) {
        note("event without text");
        return;
    }
    std::snprintf(r.lastText, sizeof r.lastText, "%s", text);
    if (std::strcmp(text, "*spec") == 0) ++r.spectated;
}

struct Player {
    PlayerRecord record;
    HostPlayerNode node;
};

struct Command {
    CommandRecord record;
};

// The host's side: players, roster and the means to send.
struct Host {
    void (*send)(BotEvent&);  // the module's `talk` or an equivalent
    void (*afterEvent)();     // called after each event returns, when given

    Player players[6] = {};
    HostPlayerList roster{nullptr};

    explicit Host(void (*sender)(BotEvent&), void (*after)() = nullptr) : send(sender), afterEvent(after) {}

    PlayerRecord* op() { return &players[0].record; }

    void setUp() {
        const struct {
            uint16_t ident;
            int32_t access;
            const char* name;
            uint8_t ship;
        } table[] = {{1, 4, "Op", 1},   {2, 0, "Pilot", 2}, {3, 0, "Zed", 3},
                     {4, 0, "Spec", 8}, {5, 2, "Mod", 4},   {6, 0, "Late", 5}};
        for (int i = 0; i < 6; ++i) {
            PlayerRecord& r = players[i].record;
            std::memset(&r, 0xA5, sizeof r);
            r.ident = table[i].ident;
            r.access = table[i].access;
            std::snprintf(r.name, sizeof r.name, "%s", table[i].name);
            r.ship = table[i].ship;
        }
        // The first five are present at the start; "Late" arrives later.
        roster.first = &players[0].node;
        for (int i = 0; i < 5; ++i) {
            players[i].node.item = &players[i].record;
            players[i].node.next = i < 4 ? &players[i + 1].node : nullptr;
        }
        players[5].node = HostPlayerNode{&players[5].record, nullptr};
    }

    void deliver(uintptr_t handle, uint32_t code, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0) {
        BotEvent e = test::event(handle, code, p0, p1, p2);
        recorder.open = true;
        send(e);
        recorder.open = false;
        if (afterEvent != nullptr) afterEvent();
    }

    void connect(uintptr_t handle) {
        deliver(handle, Connect, (6u << 16) | 6u, reinterpret_cast<uintptr_t>(&hostCallback),
                reinterpret_cast<uintptr_t>(&roster));
    }

    void command(uintptr_t handle, PlayerRecord* issuer, const char* name, const char* params,
                 uint32_t code = CommandIssued) {
        CommandRecord record{};
        std::memset(record.hostOwned, 0xA5, sizeof record.hostOwned);
        record.name = name;
        record.params = params;
        deliver(handle, code, reinterpret_cast<uintptr_t>(issuer), reinterpret_cast<uintptr_t>(&record));
    }

    void ticks(uintptr_t handle, int n) {
        for (int i = 0; i < n; ++i) deliver(handle, Tick);
    }

    void leaveRoster(const PlayerRecord* player) {
        for (HostPlayerNode** link = &roster.first; *link != nullptr; link = &(*link)->next) {
            if ((*link)->item == player) {
                *link = (*link)->next;
                return;
            }
        }
    }

    void arrive(int index) {
        HostPlayerNode** tail = &roster.first;
        while (*tail != nullptr) tail = &(*tail)->next;
        players[index].node.next = nullptr;
        *tail = &players[index].node;
        deliver(FirstBot, PlayerArrived, reinterpret_cast<uintptr_t>(&players[index].record));
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
    PlayerRecord* pilot = &host.players[1].record;
    PlayerRecord* mod = &host.players[4].record;
    PlayerRecord* late = &host.players[5].record;

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
    host.deliver(FirstBot, WeaponFired, reinterpret_cast<uintptr_t>(pilot));
    virtual_clock::advance(4 * 60 * 1000);  // across the wrap
    host.deliver(FirstBot, WeaponFired, reinterpret_cast<uintptr_t>(pilot));
    host.ticks(FirstBot, 120);  // two sweep periods: the idle ones are spectated
    host.deliver(FirstBot, ShipChanged, reinterpret_cast<uintptr_t>(late), SpectatorShip);
    host.deliver(FirstBot, PlayerSpectated, reinterpret_cast<uintptr_t>(pilot));
    host.leaveRoster(late);
    host.deliver(FirstBot, PlayerLeft, reinterpret_cast<uintptr_t>(late));
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
