// The scenario language: one statement per line (docs/hostsim.md has the
// reference). The parser turns lines into Statements and reports malformed
// lines as ScenarioError with line and column; it knows nothing of players
// or bots, which the host resolves when it runs a statement.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace hostsim {

// A malformed line, or a statement that cannot run (unknown player, ...).
struct ScenarioError : std::runtime_error {
    int line;
    int column;
    ScenarioError(int atLine, int atColumn, const std::string& message)
        : std::runtime_error(message), line(atLine), column(atColumn) {}
};

// A player as a statement names it: by name, or by ident ("#3").
struct PlayerRef {
    std::string name;
    std::optional<uint16_t> ident;
    int column = 0;
};

// One parameter word of a raw `event`.
struct EventWord {
    enum Kind { Number, Player, Command, Roster, Callback } kind = Number;
    uint64_t number = 0;  // Number
    PlayerRef player;     // Player: "@name"
    std::string text;     // Command: the quoted command line
    int column = 0;
};

enum class Op {
    Bot,      // number = handle
    Connect,  // number = version word; noCallback, noRoster, noReset
    Disconnect,
    Player,      // number = ident, text = name, access, ship; arrive = send PlayerArrived
    Leave,       // player
    Ship,        // player, number = new ship
    Fire,        // player
    Reset,       // dropped: players taken off the roster with it
    Type,        // player or byOperator, text = the typed line
    Help,        // player, text = topic
    Event,       // number = code, words
    Wait,        // number = milliseconds
    Pace,        // number = milliseconds
    Clock,       // number = milliseconds
    File,        // text = file name, body = content
    Copy,        // text = source path, name = target name
    Mkdir,       // text = path
    Cd,          // text = path
    Show,        // text = file name
    ExpectLog,   // text
    ExpectChat,  // player, text
    ExpectNothing,
    ExpectFile,  // name = file name, body = content
    ExpectNoFile,
    Ignore,
    State,  // shows the host's view
};

struct Statement {
    Op op;
    int line = 0;
    int argColumn = 1;   // column of the first argument, for run-time errors
    int nameColumn = 1;  // column of `name`
    uint64_t number = 0;
    std::string text;
    std::string name;
    std::string body;
    PlayerRef player;
    std::optional<int32_t> access;
    std::optional<uint8_t> ship;
    bool arrive = false;
    bool byOperator = false;  // Type: a "!" or "?" line of the default operator
    bool noCallback = false;
    bool noRoster = false;
    bool noReset = false;  // Connect without the RosterReset that follows it
    std::vector<EventWord> words;
    std::vector<PlayerRef> dropped;

    bool isExpect() const {
        return op == Op::ExpectLog || op == Op::ExpectChat || op == Op::ExpectNothing || op == Op::ExpectFile ||
               op == Op::ExpectNoFile;
    }
};

// Supplies the lines of a here-document after the statement that opened it:
// returns false at the end of input.
using MoreLines = std::function<bool(std::string& line)>;

// Parses one line (without its line end). Returns nothing for a blank or
// comment line. A line that opens a here-document reads its body through
// `more`, and `line` advances by the lines taken. Throws ScenarioError.
std::optional<Statement> parseLine(const std::string& text, int& line, const MoreLines& more);

// The statements, one line each, for interactive `help`.
extern const char* const StatementSummary;

// "5m", "90s", "250ms", "1h", "1m30s"; throws ScenarioError on anything else.
uint64_t parseDuration(const std::string& text, int line, int column);

}  // namespace hostsim
