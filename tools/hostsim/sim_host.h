// The simulated host: bots under their handles, each with its arena (player
// records and the roster), the callback that takes the module's answers,
// the transcript, the expectations and the work directory operations.
//
// Records are kept as a real host keeps them: every PlayerRecord lives at
// one address, on pages of its own, until the host releases it (PlayerLeft,
// or a RosterReset that dropped the player). With strict records a released
// record becomes inaccessible, so that a module that still reads it is
// caught; otherwise it stays readable for the rest of the run. The callback
// never calls `talk`: what the host does in answer to a message (a player
// forced into spectator mode by two "*spec") is queued and sent after the
// current `talk` returns.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/protocol.h"
#include "hostkit/module_loader.h"
#include "scenario.h"

namespace hostsim {

using hostkit::LoadedModule;
using hostkit::loadModule;
using hostkit::moduleFileName;
using hostkit::unloadModule;

// An expectation that did not hold; `what()` holds the whole report.
struct ExpectationFailed : std::runtime_error {
    int line;
    ExpectationFailed(int atLine, const std::string& report) : std::runtime_error(report), line(atLine) {}
};

// A Ctrl-C or termination request, seen between statements or ticks.
struct Interrupted {
    int exitCode;
};

struct HostOptions {
    bool colour = false;
    bool quiet = false;                 // no echo of the host's own events
    bool strictRecords = true;          // released records become inaccessible
    bool progress = false;              // long waits show progress on standard error
    std::filesystem::path scenarioDir;  // base of relative `copy` sources
    std::filesystem::path workDir;      // absolute and canonical: every other path lies inside
};

// One event that the module handed to the callback, with its text copied.
struct Outgoing {
    uintptr_t handle;
    uint32_t code;
    uintptr_t p[6];
    std::string text;
};

struct Player {
    PlayerRecord* record = nullptr;  // on pages of its own (allocatePages)
    HostPlayerNode node{};
    // The host's own copies: a released record is never read again.
    uint16_t ident = 0;
    std::string name;
    bool present = true;
    bool released = false;  // by the statement at releasedLine
    int releasedLine = 0;
    const char* releasedBy = "";
    std::optional<uint64_t> lastShotMs;  // scenario time of the last WeaponFired
};

struct Bot {
    uintptr_t handle = 0;
    bool connected = false;           // Connect sent and no Disconnect since; gets Ticks
    std::optional<uint64_t> version;  // of the last Connect
    std::deque<Player> players;       // every record ever made here, never freed
    std::vector<Player*> roster;      // present players, in roster order
    HostPlayerList list{nullptr};
    Player* operatorPlayer = nullptr;
};

struct SimHost {
    HostOptions options;
    LoadedModule module;
    std::deque<Bot> bots;
    Bot* current = nullptr;

    // Copies of typed command texts with their records, alive for the run.
    struct Command {
        std::string name, params;
        CommandRecord record{};
    };
    std::deque<Command> commands;

    std::vector<Outgoing> pending;  // sent since the last expectation point
    size_t checked = 0;             // of `pending`, matched by the open expect block
    bool inExpectBlock = false;
    std::map<std::pair<uintptr_t, uint16_t>, int> specCount;  // within one talk
    bool inTalk = false;

    uint64_t elapsedMs = 0;  // scenario time, shown in the transcript
    uint64_t paceMs = 1000;
    uint64_t nextTickMs = 1000;

    int currentLine = 0;                 // of the statement running, for fault reports
    std::filesystem::path dir;           // current directory, relative to the work directory
    std::filesystem::path settingsPath;  // the settings file in it

    uint64_t chatCount = 0, logCount = 0;
    std::vector<std::string> spectated;
    std::set<std::string> settingsWritten;

    SimHost(HostOptions hostOptions, LoadedModule loaded);
    ~SimHost();
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    // Runs one statement. Throws ScenarioError for a statement that cannot
    // run and ExpectationFailed for an expectation that does not hold.
    void run(const Statement& st);
    // Closes an open block of expectations: whatever was sent and not
    // matched is a failure. Called before every other statement and at the end.
    void closeExpectBlock(int line);
    // The closing summary.
    void printSummary() const;
    // The host's view: time, tick interval, bots, rosters, last shots.
    void printState() const;
    // The released player whose record holds `address`, if any.
    const Player* releasedRecordAt(const void* address) const;
    // Throws Interrupted once Ctrl-C or a termination request has come.
    static void checkInterrupt();

    // The callback's work (public for the C-style callback function).
    void received(const BotEvent& event);

   private:
    Bot& bot(uintptr_t handle);
    Bot* findBot(uintptr_t handle);
    Player& present(const Statement& st, const PlayerRef& ref);
    Player& operatorOf(Bot& b, int line, int column);
    Player& addPlayer(Bot& b, uint16_t ident, const std::string& name, int32_t access, uint8_t ship, int line,
                      int column);
    void takeOff(Bot& b, Player& p);
    void release(Player& p, int line, const char* by);
    std::filesystem::path inside(const Statement& st, const std::string& text, int column) const;
    void relink(Bot& b);
    std::string describe(uintptr_t handle, uint16_t ident) const;
    std::string format(const Outgoing& out) const;
    std::string stamp() const;
    void print(const std::string& text, const char* colour) const;
    void echo(const std::string& text) const;

    void deliver(Bot& b, BotEvent event);
    void talkOnce(BotEvent& event);
    void type(Bot& b, Player& p, const std::string& text);
    void advance(uint64_t ms, int line, int column);
    void expectMessage(const Statement& st);
    [[noreturn]] void failExpectation(int line, const std::string& expected, const std::string& actual);
};

}  // namespace hostsim
