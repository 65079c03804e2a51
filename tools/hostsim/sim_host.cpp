#include "sim_host.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "hostkit/events.h"
#include "hostkit/virtual_clock.h"
#include "memory_guard.h"
#include "terminal.h"
#include "work_paths.h"

namespace hostsim {

namespace fs = std::filesystem;

namespace {

const char* const Dim = "\033[2m";
const char* const Cyan = "\033[36m";
const char* const Green = "\033[32m";
const char* const Yellow = "\033[1;33m";
const char* const Reset = "\033[0m";
const char* const SettingsFile = "Idlewarden.ini";

// The callback has no context word: the one host of the process.
SimHost* activeHost = nullptr;

void hostCallback(BotEvent& event) {
    if (activeHost != nullptr) activeHost->received(event);
}

using hostkit::word;

std::string versionText(uint64_t v) { return std::to_string((v >> 16) & 0xFFFF) + "." + std::to_string(v & 0xFFFF); }

// Content, presence and time of a file, to tell whether the module wrote it.
struct FileProbe {
    bool exists = false;
    fs::file_time_type time{};
    std::string content;

    bool operator==(const FileProbe& o) const { return exists == o.exists && time == o.time && content == o.content; }
};

bool readFile(const fs::path& path, std::string& content) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    content = s.str();
    return true;
}

FileProbe probe(const fs::path& path) {
    FileProbe p;
    std::error_code ec;
    p.exists = readFile(path, p.content);
    if (p.exists) p.time = fs::last_write_time(path, ec);
    return p;
}

std::string inQuotes(const std::string& s) { return "\"" + s + "\""; }

// Text for the terminal: a control byte (other than a tab) is shown as \xNN,
// never written raw.
std::string printable(const std::string& s, bool keepLineEnds = false) {
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t' && !(keepLineEnds && (c == '\n' || c == '\r'))) || c == 0x7F) {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

// The lines of a file for the terminal, each indented by `indent`; a CR
// before a line end (the module's line ends on Windows) is not shown.
void printLines(const std::string& content, const char* indent) {
    std::istringstream lines(content);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::cout << indent << printable(line) << '\n';
    }
}

std::string clockText(uint64_t ms) {
    const uint64_t s = ms / 1000;
    char text[48];
    (void)std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu", static_cast<unsigned long long>(s / 3600),
                        static_cast<unsigned long long>(s / 60 % 60), static_cast<unsigned long long>(s % 60));
    return text;
}

// "1s", "500ms", "1m30s": a duration as the scenario language writes it.
std::string durationText(uint64_t ms) {
    if (ms == 0) return "0";
    static const struct {
        uint64_t size;
        const char* unit;
    } units[] = {{86400000, "d"}, {3600000, "h"}, {60000, "m"}, {1000, "s"}, {1, "ms"}};
    std::string text;
    for (const auto& u : units) {
        if (ms >= u.size) {
            text += std::to_string(ms / u.size) + u.unit;
            ms %= u.size;
        }
    }
    return text;
}

// At most this many ticks in one wait: more would run for hours.
constexpr uint64_t MaxTicksPerWait = 100000000;

}  // namespace

SimHost::SimHost(HostOptions hostOptions, LoadedModule loaded) : options(std::move(hostOptions)), module(loaded) {
    activeHost = this;
    current = &bot(1);
    settingsPath = options.workDir / SettingsFile;
}

SimHost::~SimHost() {
    if (activeHost == this) activeHost = nullptr;
    for (Bot& b : bots) {
        for (Player& p : b.players) freePages(p.record, sizeof(PlayerRecord));
    }
}

void SimHost::checkInterrupt() {
    if (const int code = interruptExitCode()) throw Interrupted{code};
}

// ---- bots and players ----

Bot* SimHost::findBot(uintptr_t handle) {
    for (Bot& b : bots) {
        if (b.handle == handle) return &b;
    }
    return nullptr;
}

Bot& SimHost::bot(uintptr_t handle) {
    if (Bot* b = findBot(handle)) return *b;
    bots.emplace_back();
    bots.back().handle = handle;
    return bots.back();
}

void SimHost::relink(Bot& b) {
    HostPlayerNode* next = nullptr;
    for (auto it = b.roster.rbegin(); it != b.roster.rend(); ++it) {
        (*it)->node.item = (*it)->record;
        (*it)->node.next = next;
        next = &(*it)->node;
    }
    b.list.first = next;
}

Player& SimHost::addPlayer(Bot& b, uint16_t ident, const std::string& name, int32_t access, uint8_t ship, int line,
                           int column) {
    for (Player* p : b.roster) {
        if (p->ident == ident) {
            throw ScenarioError(line, column,
                                "ident " + std::to_string(ident) + " is already " + inQuotes(p->name) + "'s on bot " +
                                    std::to_string(b.handle));
        }
        if (name == p->name) {
            throw ScenarioError(
                line, column,
                "a player named " + inQuotes(name) + " is already present on bot " + std::to_string(b.handle));
        }
    }
    // Each record on pages of its own, so that releasing it can take away
    // exactly those pages.
    auto* record = static_cast<PlayerRecord*>(allocatePages(sizeof(PlayerRecord)));
    if (record == nullptr) throw std::runtime_error("out of memory for a player record");
    b.players.emplace_back();
    Player& p = b.players.back();
    p.record = record;
    p.ident = ident;
    p.name = name;
    // The bytes that belong to the host carry a pattern, never zeros.
    std::memset(record, 0xA5, sizeof *record);
    std::memset(record->name, 0, sizeof record->name);
    record->ident = ident;
    record->access = access;
    std::memcpy(record->name, name.data(), name.size());
    record->ship = ship;
    b.roster.push_back(&p);
    relink(b);
    return p;
}

// Off the roster; the record stays valid until the host releases it.
void SimHost::takeOff(Bot& b, Player& p) {
    p.present = false;
    std::erase(b.roster, &p);
    relink(b);
    if (b.operatorPlayer == &p) b.operatorPlayer = nullptr;
}

// The host is done with the record: with strict records, from now on the
// module cannot touch it without being caught.
void SimHost::release(Player& p, int line, const char* by) {
    p.released = true;
    p.releasedLine = line;
    p.releasedBy = by;
    if (options.strictRecords && !makeInaccessible(p.record, sizeof(PlayerRecord))) {
        throw std::runtime_error("cannot protect the record of " + inQuotes(p.name));
    }
}

const Player* SimHost::releasedRecordAt(const void* address) const {
    const auto* byte = static_cast<const unsigned char*>(address);
    for (const Bot& b : bots) {
        for (const Player& p : b.players) {
            const auto* start = reinterpret_cast<const unsigned char*>(p.record);
            if (p.released && byte >= start && byte < start + sizeof(PlayerRecord)) return &p;
        }
    }
    return nullptr;
}

Player& SimHost::present(const Statement& st, const PlayerRef& ref) {
    Bot& b = *current;
    for (Player* p : b.roster) {
        if (ref.ident ? p->ident == *ref.ident : ref.name == p->name) return *p;
    }
    if (!ref.ident && ref.name == "Operator" && b.operatorPlayer == nullptr) return operatorOf(b, st.line, ref.column);
    const std::string who = ref.ident ? "with ident " + std::to_string(*ref.ident) : "named " + inQuotes(ref.name);
    throw ScenarioError(st.line, ref.column, "no player " + who + " is present on bot " + std::to_string(b.handle));
}

// The default operator: created on first use (a "!" or "?" line, or any
// statement that names Operator), on the roster, in the spectator ship so
// that the idle checking leaves him alone.
Player& SimHost::operatorOf(Bot& b, int line, int column) {
    if (b.operatorPlayer == nullptr) {
        try {
            b.operatorPlayer = &addPlayer(b, 1000, "Operator", 12, SpectatorShip, line, column);
        } catch (const ScenarioError& e) {
            throw ScenarioError(e.line, e.column,
                                std::string("the ! and ? lines are typed by Operator (ident 1000), but ") + e.what());
        }
        echo("Operator (ident 1000, access 12, spectating) is on bot " + std::to_string(b.handle) +
             "'s roster to type the ! and ? lines");
    }
    return *b.operatorPlayer;
}

std::string SimHost::describe(uintptr_t handle, uint16_t ident) const {
    for (const Bot& b : bots) {
        if (b.handle != handle) continue;
        const Player* found = nullptr;
        for (const Player& p : b.players) {
            if (p.ident == ident && (found == nullptr || !found->present || p.present)) found = &p;
        }
        if (found != nullptr) return found->name + " (ident " + std::to_string(ident) + ")";
    }
    return "ident " + std::to_string(ident);
}

// ---- transcript ----

std::string SimHost::stamp() const { return "[" + clockText(elapsedMs) + "]"; }

void SimHost::print(const std::string& text, const char* colour) const {
    if (options.colour && colour != nullptr) {
        std::cout << colour << stamp() << ' ' << text << Reset << '\n';
    } else {
        std::cout << stamp() << ' ' << text << '\n';
    }
    std::cout.flush();
}

void SimHost::echo(const std::string& text) const {
    if (!options.quiet) print("host: " + text, Dim);
}

std::string SimHost::format(const Outgoing& out) const {
    const std::string from = "bot " + std::to_string(out.handle);
    if (out.code == HostLog) return from + " log: " + printable(out.text);
    if (out.code == SendChat) {
        const std::string to = describe(out.handle, static_cast<uint16_t>(out.p[2]));
        if (out.p[0] == PrivateChat && out.p[2] <= 0xFFFF) return from + " → " + to + ": " + printable(out.text);
        return from + " → chat mode " + std::to_string(out.p[0]) + ", target " + std::to_string(out.p[2]) + ": " +
               printable(out.text);
    }
    std::string s = from + " sent event code " + std::to_string(out.code) + " (";
    for (int i = 0; i < 6; ++i) s += (i ? " " : "") + std::to_string(out.p[i]);
    return s + ")";
}

// ---- talking to the module ----

void SimHost::received(const BotEvent& event) {
    Outgoing out{event.handle, event.code, {}, {}};
    for (int i = 0; i < 6; ++i) out.p[i] = event.p[i];
    const char* text = nullptr;
    if (event.code == HostLog) text = reinterpret_cast<const char*>(event.p[0]);
    if (event.code == SendChat) text = reinterpret_cast<const char*>(event.p[3]);
    out.text = text != nullptr ? text : "(null)";
    if (event.code == HostLog) ++logCount;
    if (event.code == SendChat) {
        ++chatCount;
        if (out.text == "*spec" && event.p[0] == PrivateChat) {
            ++specCount[{event.handle, static_cast<uint16_t>(event.p[2])}];
        }
    }
    print(format(out), event.code == HostLog ? Cyan : Green);
    pending.push_back(std::move(out));
}

void SimHost::talkOnce(BotEvent& event) {
    // The module relies on never being called again from inside the callback.
    if (inTalk) throw std::logic_error("talk called re-entrantly");
    inTalk = true;
    module.talk(event);
    inTalk = false;
}

void SimHost::deliver(Bot& b, BotEvent event) {
    event.handle = b.handle;
    // Only a command (or a code above PlayerLeft, to be safe) can make the
    // module save; a tick costs no system call.
    const bool mayWrite = event.code > PlayerLeft;
    FileProbe before;
    if (mayWrite) before = probe(settingsPath);
    talkOnce(event);
    if (mayWrite) {
        const FileProbe after = probe(settingsPath);
        if (after.exists && !(after == before)) settingsWritten.insert(settingsPath.string());
    }
    // What the game does with two "*spec": the player is now spectating, and
    // the host reports that like any move into the spectator ship.
    auto specs = std::move(specCount);
    specCount.clear();
    for (const auto& [key, count] : specs) {
        if (count < 2) continue;
        Bot* target = findBot(key.first);
        if (target == nullptr) continue;
        for (Player* p : target->roster) {
            if (p->ident != key.second || p->record->ship == SpectatorShip) continue;
            p->record->ship = SpectatorShip;
            spectated.push_back(p->name);
            print("host: " + describe(key.first, key.second) + " is now in the spectator ship (PlayerSpectated → bot " +
                      std::to_string(key.first) + ")",
                  options.colour ? Yellow : nullptr);
            BotEvent e{};
            e.code = PlayerSpectated;
            e.p[0] = word(p->record);
            deliver(*target, e);
            break;
        }
    }
}

void SimHost::type(Bot& b, Player& p, const std::string& text) {
    echo(describe(b.handle, p.ident) + " types: " + text);
    BotEvent e{};
    e.p[0] = word(p.record);
    commands.emplace_back();
    Command& c = commands.back();
    // The host splits at the first blank: the word before it, the rest after.
    auto split = [&](const std::string& line, std::string& first, std::string& rest) {
        const size_t blank = line.find(' ');
        first = line.substr(0, blank);
        rest = blank == std::string::npos ? "" : line.substr(blank + 1);
    };
    if (text[0] == '!') {
        split(text.substr(1), c.name, c.params);
        e.code = CommandIssued;
    } else {
        std::string word0;
        split(text, word0, c.params);
        std::string lowered = word0;
        for (char& ch : lowered) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (lowered != "?help") {
            echo("(public chat: no event for the module)");
            return;
        }
        c.name = "help";
        e.code = HelpRequested;
    }
    c.record.name = c.name.c_str();
    c.record.params = c.params.c_str();
    e.p[1] = word(&c.record);
    deliver(b, e);
}

void SimHost::advance(uint64_t ms, int line, int column) {
    const uint64_t start = elapsedMs;
    const uint64_t target = elapsedMs + ms;
    const uint64_t ticks = nextTickMs > target ? 0 : (target - nextTickMs) / paceMs + 1;
    if (ticks > MaxTicksPerWait) {
        throw ScenarioError(line, column,
                            "wait " + durationText(ms) + " at a tick interval of " + durationText(paceMs) + " is " +
                                std::to_string(ticks) + " ticks; at most " + std::to_string(MaxTicksPerWait) +
                                " in one wait (a longer pace makes fewer)");
    }
    bool anyConnected = false;
    for (const Bot& b : bots) anyConnected = anyConnected || b.connected;
    if (!anyConnected) nextTickMs += ticks * paceMs;

    // Progress on a terminal once a wait has taken a few seconds; the real
    // clock is read only every few thousand ticks.
    const uint64_t realStart = options.progress ? realMilliseconds() : 0;
    uint64_t nextShown = realStart + 3000;
    bool shown = false;
    uint64_t sinceCheck = 0;
    while (nextTickMs <= target) {
        checkInterrupt();
        virtual_clock::advance(nextTickMs - elapsedMs);
        elapsedMs = nextTickMs;
        nextTickMs += paceMs;
        for (Bot& b : bots) {
            if (!b.connected) continue;
            BotEvent e{};
            e.code = Tick;
            deliver(b, e);
        }
        if (options.progress && ++sinceCheck == 4096) {
            sinceCheck = 0;
            const uint64_t now = realMilliseconds();
            if (now >= nextShown) {
                nextShown = now + 1000;
                shown = true;
                std::cerr << "\rhostsim: waiting: " << clockText(elapsedMs - start) << " of " << clockText(ms) << " ("
                          << (elapsedMs - start) * 100 / ms << "%)   " << std::flush;
            }
        }
    }
    if (shown) std::cerr << "\r" << std::string(48, ' ') << "\r" << std::flush;
    virtual_clock::advance(target - elapsedMs);
    elapsedMs = target;
}

// ---- expectations ----

void SimHost::failExpectation(int line, const std::string& expected, const std::string& actual) {
    std::ostringstream s;
    s << "expectation failed\n  expected: " << expected << "\n  actual:   " << actual
      << "\n  sent since the last expectation point:";
    if (pending.empty()) s << " nothing";
    for (size_t i = 0; i < pending.size(); ++i) {
        s << "\n    " << (i < checked ? "ok  " : i == checked ? ">>  " : "    ") << format(pending[i]);
    }
    pending.clear();
    checked = 0;
    inExpectBlock = false;
    throw ExpectationFailed(line, s.str());
}

void SimHost::closeExpectBlock(int line) {
    if (!inExpectBlock) return;
    if (checked < pending.size()) failExpectation(line, "nothing more", format(pending[checked]));
    pending.clear();
    checked = 0;
    inExpectBlock = false;
}

void SimHost::expectMessage(const Statement& st) {
    const std::string from = "bot " + std::to_string(current->handle);
    std::string expected;
    uint16_t ident = 0;
    if (st.op == Op::ExpectLog) {
        expected = from + " log: " + st.text;
    } else {
        if (st.player.ident) {
            ident = *st.player.ident;
        } else {
            const Player* found = nullptr;
            for (const Player& p : current->players) {
                if (st.player.name == p.name && (found == nullptr || !found->present || p.present)) found = &p;
            }
            if (found == nullptr) {
                throw ScenarioError(st.line, st.player.column,
                                    "no player named " + inQuotes(st.player.name) + " on bot " + from.substr(4));
            }
            ident = found->ident;
        }
        expected = from + " → " + describe(current->handle, ident) + ": " + st.text;
    }
    if (checked >= pending.size()) failExpectation(st.line, expected, "nothing more was sent");
    const Outgoing& out = pending[checked];
    const bool same = out.handle == current->handle && out.text == st.text &&
                      (st.op == Op::ExpectLog ? out.code == HostLog
                                              : out.code == SendChat && out.p[0] == PrivateChat && out.p[2] == ident);
    if (!same) failExpectation(st.line, expected, format(out));
    ++checked;
}

// ---- statements ----

// A path of the statement, as an absolute path inside the work directory.
fs::path SimHost::inside(const Statement& st, const std::string& text, int column) const {
    std::string why;
    const auto resolved = insideWorkDir(dir, text, why);
    if (!resolved) throw ScenarioError(st.line, column, why);
    fs::path path = (options.workDir / *resolved).lexically_normal();
    if (!staysInside(options.workDir, path)) {
        throw ScenarioError(st.line, column, inQuotes(text) + " leads out of the work directory through a link");
    }
    return path;
}

void SimHost::run(const Statement& st) {
    checkInterrupt();
    currentLine = st.line;
    if (st.isExpect()) {
        inExpectBlock = true;
    } else {
        closeExpectBlock(st.line);
    }
    Bot& b = *current;
    BotEvent e{};
    std::error_code ec;
    auto fsFail = [&](const std::string& what) {
        throw ScenarioError(st.line, st.argColumn, what + ": " + ec.message());
    };
    switch (st.op) {
        case Op::Bot: current = &bot(static_cast<uintptr_t>(st.number)); break;
        case Op::Connect: {
            b.connected = true;
            b.version = st.number;
            e.code = Connect;
            e.p[0] = static_cast<uintptr_t>(st.number);
            e.p[1] = st.noCallback ? 0 : word(reinterpret_cast<const void*>(&hostCallback));
            e.p[2] = st.noRoster ? 0 : word(&b.list);
            echo("Connect → bot " + std::to_string(b.handle) + ", version " + versionText(st.number) +
                 (st.noCallback ? ", no callback" : "") + (st.noRoster ? ", no roster" : ""));
            deliver(b, e);
            if (st.noReset) break;
            // A host sends the roster of the arena that the bot has entered.
            echo("RosterReset → bot " + std::to_string(b.handle) + " (" + std::to_string(b.roster.size()) +
                 (b.roster.size() == 1 ? " player" : " players") + " on the roster)");
            BotEvent reset{};
            reset.code = RosterReset;
            deliver(b, reset);
            break;
        }
        case Op::Disconnect:
            b.connected = false;
            e.code = Disconnect;
            echo("Disconnect → bot " + std::to_string(b.handle));
            deliver(b, e);
            break;
        case Op::Player: {
            Player& p = addPlayer(b, static_cast<uint16_t>(st.number), st.text, st.access.value_or(0),
                                  st.ship.value_or(1), st.line, st.argColumn);
            const std::string what = describe(b.handle, p.ident) + ", access " + std::to_string(p.record->access) +
                                     ", ship " + std::to_string(p.record->ship);
            if (st.arrive) {
                echo("PlayerArrived → bot " + std::to_string(b.handle) + ": " + what);
                e.code = PlayerArrived;
                e.p[0] = word(p.record);
                deliver(b, e);
            } else {
                echo("on the roster of bot " + std::to_string(b.handle) + ": " + what);
            }
            break;
        }
        case Op::Leave: {
            Player& p = present(st, st.player);
            echo("PlayerLeft → bot " + std::to_string(b.handle) + ": " + describe(b.handle, p.ident));
            takeOff(b, p);
            e.code = PlayerLeft;
            e.p[0] = word(p.record);
            deliver(b, e);
            release(p, st.line, "PlayerLeft");
            break;
        }
        case Op::Ship: {
            Player& p = present(st, st.player);
            const uint8_t old = p.record->ship;
            const uint8_t now = static_cast<uint8_t>(st.number);
            const std::string who = describe(b.handle, p.ident);
            if (old == now) {
                echo(who + " is in ship " + std::to_string(now) + " already: no event");
                break;
            }
            p.record->ship = now;
            e.p[0] = word(p.record);
            if (now == SpectatorShip) {
                e.code = PlayerSpectated;
                echo("PlayerSpectated → bot " + std::to_string(b.handle) + ": " + who);
            } else {
                e.code = ShipChanged;
                e.p[1] = old;
                echo("ShipChanged → bot " + std::to_string(b.handle) + ": " + who + ", ship " + std::to_string(old) +
                     " → " + std::to_string(now));
            }
            deliver(b, e);
            break;
        }
        case Op::Fire: {
            Player& p = present(st, st.player);
            echo("WeaponFired → bot " + std::to_string(b.handle) + ": " + describe(b.handle, p.ident));
            p.lastShotMs = elapsedMs;
            e.code = WeaponFired;
            e.p[0] = word(p.record);
            deliver(b, e);
            break;
        }
        case Op::Reset: {
            // Every name first: a statement that fails changes nothing.
            std::vector<Player*> dropped;
            for (const PlayerRef& ref : st.dropped) {
                Player* p = &present(st, ref);
                if (std::find(dropped.begin(), dropped.end(), p) == dropped.end()) dropped.push_back(p);
            }
            std::string names;
            for (Player* p : dropped) {
                names += (names.empty() ? " without " : ", ") + describe(b.handle, p->ident);
                takeOff(b, *p);
            }
            echo("RosterReset → bot " + std::to_string(b.handle) + names);
            e.code = RosterReset;
            deliver(b, e);
            for (Player* p : dropped) release(*p, st.line, "RosterReset");
            break;
        }
        case Op::Type:
            type(b, st.byOperator ? operatorOf(b, st.line, st.argColumn) : present(st, st.player), st.text);
            break;
        case Op::Help: {
            Player& p = present(st, st.player);
            echo("HelpRequested → bot " + std::to_string(b.handle) + ": " + describe(b.handle, p.ident) + ", topic " +
                 inQuotes(st.text));
            commands.emplace_back();
            Command& c = commands.back();
            c.name = "help";
            c.params = st.text;
            c.record.name = c.name.c_str();
            c.record.params = c.params.c_str();
            e.code = HelpRequested;
            e.p[0] = word(p.record);
            e.p[1] = word(&c.record);
            deliver(b, e);
            break;
        }
        case Op::Event: {
            e.code = static_cast<uint32_t>(st.number);
            std::string shown = "event " + std::to_string(e.code);
            for (size_t i = 0; i < st.words.size(); ++i) {
                const EventWord& w = st.words[i];
                switch (w.kind) {
                    case EventWord::Number:
                        e.p[i] = static_cast<uintptr_t>(w.number);
                        shown += " " + std::to_string(e.p[i]);
                        break;
                    case EventWord::Player: {
                        Player& p = present(st, w.player);
                        e.p[i] = word(p.record);
                        shown += " @" + p.name;
                        break;
                    }
                    case EventWord::Command: {
                        commands.emplace_back();
                        Command& c = commands.back();
                        const size_t blank = w.text.find(' ');
                        c.name = w.text.substr(0, blank);
                        c.params = blank == std::string::npos ? "" : w.text.substr(blank + 1);
                        c.record.name = c.name.c_str();
                        c.record.params = c.params.c_str();
                        e.p[i] = word(&c.record);
                        shown += " " + inQuotes(w.text);
                        break;
                    }
                    case EventWord::Roster:
                        e.p[i] = word(&b.list);
                        shown += " roster";
                        break;
                    case EventWord::Callback:
                        e.p[i] = word(reinterpret_cast<const void*>(&hostCallback));
                        shown += " callback";
                        break;
                }
            }
            // The module may read the words of the codes it acts on as pointers:
            // hold them to what a host would send, so that no scenario can
            // crash the module (and hostsim with it).
            auto kindAt = [&](size_t i) { return i < st.words.size() ? st.words[i].kind : EventWord::Number; };
            auto numberAt = [&](size_t i) { return i < st.words.size() ? e.p[i] : 0; };
            auto need = [&](bool ok, size_t i, const char* what) {
                if (!ok) {
                    const int col = i < st.words.size() ? st.words[i].column : st.argColumn;
                    throw ScenarioError(
                        st.line, col,
                        "word " + std::to_string(i) + " of event " + std::to_string(e.code) + " must be " + what);
                }
            };
            switch (e.code) {
                case Connect:
                    need(kindAt(1) == EventWord::Callback || (kindAt(1) == EventWord::Number && numberAt(1) == 0), 1,
                         "callback or 0");
                    need(kindAt(2) == EventWord::Roster || (kindAt(2) == EventWord::Number && numberAt(2) == 0), 2,
                         "roster or 0");
                    b.connected = true;
                    b.version = numberAt(0);
                    break;
                case PlayerArrived:
                case ShipChanged:
                case PlayerSpectated:
                case PlayerLeft:
                case WeaponFired:
                    need(kindAt(0) == EventWord::Player, 0, "a player (@name)");
                    if (e.code == WeaponFired) present(st, st.words[0].player).lastShotMs = elapsedMs;
                    break;
                case CommandIssued:
                case HelpRequested:
                    need(kindAt(0) == EventWord::Player || numberAt(0) == 0, 0, "a player (@name) or 0");
                    need(kindAt(1) == EventWord::Command || numberAt(1) == 0, 1, "a quoted command line or 0");
                    break;
                case Disconnect: b.connected = false; break;
                default: break;
            }
            echo(shown + " → bot " + std::to_string(b.handle));
            deliver(b, e);
            break;
        }
        case Op::Wait: {
            const uint64_t ticksBefore = nextTickMs;
            advance(st.number, st.line, st.argColumn);
            const uint64_t ticks = (nextTickMs - ticksBefore) / paceMs;
            echo("waited; " + std::to_string(ticks) + " tick" + (ticks == 1 ? "" : "s") +
                 " sent to each connected bot");
            break;
        }
        case Op::Pace:
            paceMs = st.number;
            nextTickMs = elapsedMs + paceMs;
            break;
        case Op::Clock: virtual_clock::set(st.number); break;
        case Op::File: {
            const fs::path path = inside(st, st.text, st.argColumn);
            fs::create_directories(path.parent_path(), ec);
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << st.body;
            if (!out) throw ScenarioError(st.line, st.argColumn, "cannot write " + inQuotes(st.text));
            break;
        }
        case Op::Copy: {
            std::string why;
            if (!isCopySource(st.text, why)) throw ScenarioError(st.line, st.argColumn, why);
            const fs::path source = options.scenarioDir / st.text;
            const fs::path target = st.name.empty() ? inside(st, fs::path(st.text).filename().string(), st.argColumn)
                                                    : inside(st, st.name, st.nameColumn);
            fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
            if (ec) fsFail("cannot copy " + source.string());
            echo("copied " + source.string() + " to " + target.string());
            break;
        }
        case Op::Mkdir:
            fs::create_directories(inside(st, st.text, st.argColumn), ec);
            if (ec) fsFail("cannot make directory " + inQuotes(st.text));
            break;
        case Op::Cd: {
            const fs::path path = inside(st, st.text, st.argColumn);
            fs::create_directories(path, ec);
            if (!ec) fs::current_path(path, ec);
            if (ec) fsFail("cannot change to directory " + inQuotes(st.text));
            std::string why;
            dir = *insideWorkDir(dir, st.text, why);
            settingsPath = path / SettingsFile;
            echo("working directory " + path.string());
            break;
        }
        case Op::Show: {
            std::string content;
            if (!readFile(inside(st, st.text, st.argColumn), content)) {
                echo(st.text + ": no such file");
                break;
            }
            echo(st.text + ":");
            printLines(content, "");
            break;
        }
        case Op::ExpectLog:
        case Op::ExpectChat: expectMessage(st); break;
        case Op::ExpectNothing:
            if (checked < pending.size()) failExpectation(st.line, "nothing", format(pending[checked]));
            break;
        case Op::ExpectFile: {
            std::string content;
            if (!readFile(inside(st, st.name, st.nameColumn), content)) {
                failExpectation(st.line, "file " + st.name + " holding:\n" + st.body, "no such file");
            }
            std::string expected = st.body;
#if defined(_WIN32)
            // The module ends its lines with CR LF on Windows.
            for (size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2)
                expected.insert(at, 1, '\r');
#endif
            if (content != expected)
                failExpectation(st.line, "file " + st.name + " holding:\n" + st.body, "\n" + printable(content, true));
            break;
        }
        case Op::ExpectNoFile:
            if (fs::exists(inside(st, st.name, st.nameColumn), ec)) {
                failExpectation(st.line, "no file " + st.name, "it exists");
            }
            break;
        case Op::Ignore:
            pending.clear();
            checked = 0;
            break;
        case Op::State: printState(); break;
    }
}

// ---- summary and state ----

void SimHost::printState() const {
    std::cout << "time " << clockText(elapsedMs) << " (module clock " << virtual_clock::now() << " ms), tick every "
              << durationText(paceMs) << ", next tick at " << clockText(nextTickMs) << '\n';
    for (const Bot& b : bots) {
        std::cout << "bot " << b.handle << ": ";
        if (b.connected) {
            std::cout << "connected, version " << versionText(b.version.value_or(0)) << " (gets ticks)";
        } else {
            std::cout << (b.version ? "disconnected" : "not connected");
        }
        std::cout << (&b == current ? ", current" : "") << "; " << b.roster.size() << " on the roster\n";
        for (const Player* p : b.roster) {
            std::cout << "  " << p->name << " (ident " << p->ident << "), access " << p->record->access << ", ship "
                      << static_cast<int>(p->record->ship) << (p->record->ship == SpectatorShip ? " (spectating)" : "")
                      << ", last shot " << (p->lastShotMs ? clockText(*p->lastShotMs) : std::string("never")) << '\n';
        }
        for (const Player& p : b.players) {
            if (p.present) continue;
            std::cout << "  gone: " << p.name << " (ident " << p.ident << ")";
            if (p.released) std::cout << ", released by " << p.releasedBy << " at line " << p.releasedLine;
            std::cout << '\n';
        }
    }
    std::cout.flush();
}

void SimHost::printSummary() const {
    std::cout << "---- summary ----\n";
    std::cout << "players spectated: " << spectated.size();
    for (size_t i = 0; i < spectated.size(); ++i) std::cout << (i ? ", " : " (") << spectated[i];
    std::cout << (spectated.empty() ? "" : ")") << '\n';
    std::cout << "messages sent: " << chatCount + logCount << " (" << chatCount << " chat, " << logCount << " log)\n";
    if (settingsWritten.empty()) {
        std::cout << "settings file: not written\n";
    } else {
        for (const std::string& path : settingsWritten) {
            std::cout << "settings file: written to " << path << '\n';
            std::string content;
            if (readFile(path, content)) printLines(content, "    ");
        }
    }
    std::cout.flush();
}

}  // namespace hostsim
