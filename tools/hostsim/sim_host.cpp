#include "sim_host.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "hostkit/events.h"
#include "hostkit/virtual_clock.h"

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

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

SimHost::SimHost(HostOptions hostOptions, LoadedModule loaded) : options(std::move(hostOptions)), module(loaded) {
    activeHost = this;
    current = &bot(1);
}

SimHost::~SimHost() {
    if (activeHost == this) activeHost = nullptr;
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
        (*it)->node.item = &(*it)->record;
        (*it)->node.next = next;
        next = &(*it)->node;
    }
    b.list.first = next;
}

Player& SimHost::addPlayer(Bot& b, uint16_t ident, const std::string& name, int32_t access, uint8_t ship, int line,
                           int column) {
    for (Player* p : b.roster) {
        if (p->record.ident == ident) {
            throw ScenarioError(line, column,
                                "ident " + std::to_string(ident) + " is already " + quoted(p->record.name) +
                                    "'s on bot " + std::to_string(b.handle));
        }
        if (name == p->record.name) {
            throw ScenarioError(
                line, column,
                "a player named " + quoted(name) + " is already present on bot " + std::to_string(b.handle));
        }
    }
    b.players.emplace_back();
    Player& p = b.players.back();
    // The bytes that belong to the host carry a pattern, never zeros.
    std::memset(&p.record, 0xA5, sizeof p.record);
    std::memset(p.record.name, 0, sizeof p.record.name);
    p.record.ident = ident;
    p.record.access = access;
    std::memcpy(p.record.name, name.data(), name.size());
    p.record.ship = ship;
    b.roster.push_back(&p);
    relink(b);
    return p;
}

Player& SimHost::present(const Statement& st, const PlayerRef& ref) {
    Bot& b = *current;
    for (Player* p : b.roster) {
        if (ref.ident ? p->record.ident == *ref.ident : ref.name == p->record.name) return *p;
    }
    if (!ref.ident && ref.name == "Operator" && b.operatorPlayer == nullptr) return operatorOf(b);
    const std::string who = ref.ident ? "with ident " + std::to_string(*ref.ident) : "named " + quoted(ref.name);
    throw ScenarioError(st.line, ref.column, "no player " + who + " is present on bot " + std::to_string(b.handle));
}

// The default operator: created on first use (a "!" or "?" line, or any
// statement that names Operator), on the roster, in the spectator ship so
// that the idle checking leaves him alone.
Player& SimHost::operatorOf(Bot& b) {
    if (b.operatorPlayer == nullptr) {
        b.operatorPlayer = &addPlayer(b, 1000, "Operator", 12, SpectatorShip, 0, 1);
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
            if (p.record.ident == ident && (found == nullptr || !found->present || p.present)) found = &p;
        }
        if (found != nullptr) return std::string(found->record.name) + " (ident " + std::to_string(ident) + ")";
    }
    return "ident " + std::to_string(ident);
}

// ---- transcript ----

std::string SimHost::stamp() const {
    const uint64_t s = elapsedMs / 1000;
    char text[48];
    std::snprintf(text, sizeof text, "[%02llu:%02llu:%02llu]", static_cast<unsigned long long>(s / 3600),
                  static_cast<unsigned long long>(s / 60 % 60), static_cast<unsigned long long>(s % 60));
    return text;
}

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
    if (out.code == HostLog) return from + " log: " + out.text;
    if (out.code == SendChat) {
        const std::string to = describe(out.handle, static_cast<uint16_t>(out.p[2]));
        if (out.p[0] == PrivateChat && out.p[2] <= 0xFFFF) return from + " → " + to + ": " + out.text;
        return from + " → chat mode " + std::to_string(out.p[0]) + ", target " + std::to_string(out.p[2]) + ": " +
               out.text;
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
    const bool mayWrite = event.code == CommandIssued || event.code > PlayerLeft;
    const fs::path settings = fs::current_path() / SettingsFile;
    FileProbe before;
    if (mayWrite) before = probe(settings);
    talkOnce(event);
    if (mayWrite) {
        const FileProbe after = probe(settings);
        if (after.exists && !(after == before)) settingsWritten.insert(settings.string());
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
            if (p->record.ident != key.second || p->record.ship == SpectatorShip) continue;
            p->record.ship = SpectatorShip;
            spectated.push_back(p->record.name);
            print("host: " + describe(key.first, key.second) + " is now in the spectator ship (PlayerSpectated → bot " +
                      std::to_string(key.first) + ")",
                  options.colour ? Yellow : nullptr);
            BotEvent e{};
            e.code = PlayerSpectated;
            e.p[0] = word(&p->record);
            deliver(*target, e);
            break;
        }
    }
}

void SimHost::type(Bot& b, Player& p, const std::string& text) {
    echo(describe(b.handle, p.record.ident) + " types: " + text);
    BotEvent e{};
    e.p[0] = word(&p.record);
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

void SimHost::advance(uint64_t ms) {
    const uint64_t target = elapsedMs + ms;
    while (nextTickMs <= target) {
        virtual_clock::advance(nextTickMs - elapsedMs);
        elapsedMs = nextTickMs;
        nextTickMs += paceMs;
        for (Bot& b : bots) {
            if (!b.connected) continue;
            BotEvent e{};
            e.code = Tick;
            deliver(b, e);
        }
    }
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
                if (st.player.name == p.record.name && (found == nullptr || !found->present || p.present)) found = &p;
            }
            if (found == nullptr) {
                throw ScenarioError(st.line, st.player.column,
                                    "no player named " + quoted(st.player.name) + " on bot " + from.substr(4));
            }
            ident = found->record.ident;
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

void SimHost::run(const Statement& st) {
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
        case Op::Connect:
            b.connected = true;
            e.code = Connect;
            e.p[0] = static_cast<uintptr_t>(st.number);
            e.p[1] = st.noCallback ? 0 : word(reinterpret_cast<const void*>(&hostCallback));
            e.p[2] = st.noRoster ? 0 : word(&b.list);
            echo("Connect → bot " + std::to_string(b.handle) + ", version " + versionText(st.number) +
                 (st.noCallback ? ", no callback" : "") + (st.noRoster ? ", no roster" : ""));
            deliver(b, e);
            break;
        case Op::Disconnect:
            b.connected = false;
            e.code = Disconnect;
            echo("Disconnect → bot " + std::to_string(b.handle));
            deliver(b, e);
            break;
        case Op::Player: {
            Player& p = addPlayer(b, static_cast<uint16_t>(st.number), st.text, st.access.value_or(0),
                                  st.ship.value_or(1), st.line, st.argColumn);
            const std::string what = describe(b.handle, p.record.ident) + ", access " +
                                     std::to_string(p.record.access) + ", ship " + std::to_string(p.record.ship);
            if (st.arrive) {
                echo("PlayerArrived → bot " + std::to_string(b.handle) + ": " + what);
                e.code = PlayerArrived;
                e.p[0] = word(&p.record);
                deliver(b, e);
            } else {
                echo("on the roster of bot " + std::to_string(b.handle) + ": " + what);
            }
            break;
        }
        case Op::Leave: {
            Player& p = present(st, st.player);
            echo("PlayerLeft → bot " + std::to_string(b.handle) + ": " + describe(b.handle, p.record.ident));
            p.present = false;
            std::erase(b.roster, &p);
            relink(b);
            if (b.operatorPlayer == &p) b.operatorPlayer = nullptr;
            e.code = PlayerLeft;
            e.p[0] = word(&p.record);
            deliver(b, e);
            break;
        }
        case Op::Ship: {
            Player& p = present(st, st.player);
            const uint8_t old = p.record.ship;
            const uint8_t now = static_cast<uint8_t>(st.number);
            const std::string who = describe(b.handle, p.record.ident);
            if (old == now) {
                echo(who + " is in ship " + std::to_string(now) + " already: no event");
                break;
            }
            p.record.ship = now;
            e.p[0] = word(&p.record);
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
            echo("WeaponFired → bot " + std::to_string(b.handle) + ": " + describe(b.handle, p.record.ident));
            e.code = WeaponFired;
            e.p[0] = word(&p.record);
            deliver(b, e);
            break;
        }
        case Op::Reset:
            echo("RosterReset → bot " + std::to_string(b.handle));
            e.code = RosterReset;
            deliver(b, e);
            break;
        case Op::Type: type(b, st.byOperator ? operatorOf(b) : present(st, st.player), st.text); break;
        case Op::Help: {
            Player& p = present(st, st.player);
            echo("HelpRequested → bot " + std::to_string(b.handle) + ": " + describe(b.handle, p.record.ident) +
                 ", topic " + quoted(st.text));
            commands.emplace_back();
            Command& c = commands.back();
            c.name = "help";
            c.params = st.text;
            c.record.name = c.name.c_str();
            c.record.params = c.params.c_str();
            e.code = HelpRequested;
            e.p[0] = word(&p.record);
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
                        e.p[i] = word(&p.record);
                        shown += " @" + std::string(p.record.name);
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
                        shown += " " + quoted(w.text);
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
                    break;
                case PlayerArrived:
                case ShipChanged:
                case PlayerSpectated:
                case PlayerLeft:
                case WeaponFired: need(kindAt(0) == EventWord::Player, 0, "a player (@name)"); break;
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
            advance(st.number);
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
            const fs::path path = st.text;
            if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << st.body;
            if (!out) throw ScenarioError(st.line, st.argColumn, "cannot write " + quoted(st.text));
            break;
        }
        case Op::Copy: {
            fs::path source = st.text;
            if (source.is_relative()) source = options.scenarioDir / source;
            const fs::path target = st.name.empty() ? source.filename() : fs::path(st.name);
            fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
            if (ec) fsFail("cannot copy " + source.string());
            echo("copied " + source.string() + " to " + (fs::current_path() / target).string());
            break;
        }
        case Op::Mkdir:
            fs::create_directories(st.text, ec);
            if (ec) fsFail("cannot make directory " + quoted(st.text));
            break;
        case Op::Cd:
            fs::create_directories(st.text, ec);
            if (!ec) fs::current_path(st.text, ec);
            if (ec) fsFail("cannot change to directory " + quoted(st.text));
            echo("working directory " + fs::current_path().string());
            break;
        case Op::Show: {
            std::string content;
            if (!readFile(st.text, content)) {
                echo(st.text + ": no such file");
                break;
            }
            echo(st.text + ":");
            std::cout << content;
            if (!content.empty() && content.back() != '\n') std::cout << '\n';
            break;
        }
        case Op::ExpectLog:
        case Op::ExpectChat: expectMessage(st); break;
        case Op::ExpectNothing:
            if (checked < pending.size()) failExpectation(st.line, "nothing", format(pending[checked]));
            break;
        case Op::ExpectFile: {
            std::string content;
            if (!readFile(st.name, content)) {
                failExpectation(st.line, "file " + st.name + " holding:\n" + st.body, "no such file");
            }
            std::string expected = st.body;
#if defined(_WIN32)
            // The module ends its lines with CR LF on Windows.
            for (size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2)
                expected.insert(at, 1, '\r');
#endif
            if (content != expected)
                failExpectation(st.line, "file " + st.name + " holding:\n" + st.body, "\n" + content);
            break;
        }
        case Op::ExpectNoFile:
            if (fs::exists(st.name, ec)) failExpectation(st.line, "no file " + st.name, "it exists");
            break;
        case Op::Ignore:
            pending.clear();
            checked = 0;
            break;
    }
}

// ---- summary ----

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
            if (readFile(path, content)) {
                std::istringstream lines(content);
                for (std::string line; std::getline(lines, line);) std::cout << "    " << line << '\n';
            }
        }
    }
    std::cout.flush();
}

}  // namespace hostsim
