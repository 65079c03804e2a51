// Line parser of the scenario language. Errors carry the column of the token
// at fault (1-based, counting every byte of the line).
#include <cctype>
#include <limits>

#include "scenario.h"

namespace hostsim {

namespace {

constexpr size_t MaxNameBytes = 135;  // the host record's name field holds 136 with its NUL

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Scenario text is printable: a control byte (other than a tab) would reach
// the terminal raw through the transcript, so it is refused where it stands.
void checkBytes(const std::string& text, int line) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            static const char hex[] = "0123456789ABCDEF";
            throw ScenarioError(line, static_cast<int>(i) + 1,
                                std::string("control byte 0x") + hex[c >> 4] + hex[c & 15] + " in the scenario text");
        }
    }
}

struct Token {
    std::string text;
    int column = 0;
    bool quoted = false;
};

// Walks one line token by token.
struct Cursor {
    const std::string& s;
    int line;
    size_t pos = 0;

    int column() const { return static_cast<int>(pos) + 1; }
    [[noreturn]] void fail(int col, const std::string& message) const { throw ScenarioError(line, col, message); }

    void skipBlanks() {
        while (pos < s.size() && isBlank(s[pos])) ++pos;
    }
    bool atEnd() {
        skipBlanks();
        return pos >= s.size();
    }
    // A bare word (up to the next blank) or a double-quoted text, in which
    // \" stands for a quote and \\ for a backslash.
    Token next(const char* what) {
        skipBlanks();
        Token token;
        token.column = column();
        if (pos >= s.size()) fail(token.column, std::string("expected ") + what);
        if (s[pos] != '"') {
            while (pos < s.size() && !isBlank(s[pos])) token.text += s[pos++];
            return token;
        }
        token.quoted = true;
        ++pos;
        for (;;) {
            if (pos >= s.size()) fail(token.column, "unterminated quoted text");
            const char c = s[pos++];
            if (c == '"') break;
            if (c == '\\' && pos < s.size() && (s[pos] == '"' || s[pos] == '\\')) {
                token.text += s[pos++];
            } else {
                token.text += c;
            }
        }
        if (pos < s.size() && !isBlank(s[pos])) fail(column(), "expected a blank after the closing quote");
        return token;
    }
    // Everything after the one blank that follows the last token, byte for
    // byte; empty when the line ends there.
    std::string rest() {
        if (pos >= s.size()) return "";
        ++pos;  // the separating blank (the token ended at a blank)
        std::string text = s.substr(pos);
        pos = s.size();
        return text;
    }
    void end() {
        if (!atEnd()) fail(column(), "unexpected text at the end of the line");
    }
};

bool parseUnsigned(const std::string& text, uint64_t& value) {
    if (text.empty()) return false;
    uint64_t v = 0;
    size_t i = 0;
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && std::isxdigit(c)) {
            digit = static_cast<unsigned>(std::tolower(c) - 'a' + 10);
        } else {
            return false;
        }
        if (v > (std::numeric_limits<uint64_t>::max() - digit) / base) return false;
        v = v * base + digit;
    }
    value = v;
    return true;
}

// A whole number within [min, max]; a leading "-" is allowed when min < 0.
int64_t number(Cursor& c, const char* what, int64_t min, int64_t max) {
    const Token t = c.next(what);
    const bool negative = !t.text.empty() && t.text[0] == '-';
    uint64_t magnitude = 0;
    if (t.quoted || !parseUnsigned(negative ? t.text.substr(1) : t.text, magnitude) ||
        magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        c.fail(t.column, std::string("expected ") + what + ", found \"" + t.text + "\"");
    }
    const int64_t v = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    if (v < min || v > max) {
        c.fail(t.column, std::string(what) + " " + t.text + " is out of range (" + std::to_string(min) + " to " +
                             std::to_string(max) + ")");
    }
    return v;
}

// A whole word of any width: unsigned, or negative (two's complement).
uint64_t word(Cursor& c, const Token& t) {
    const bool negative = !t.text.empty() && t.text[0] == '-';
    uint64_t magnitude = 0;
    if (t.quoted || !parseUnsigned(negative ? t.text.substr(1) : t.text, magnitude)) {
        c.fail(t.column, "expected a number, found \"" + t.text + "\"");
    }
    return negative ? 0 - magnitude : magnitude;
}

void checkName(Cursor& c, const Token& t) {
    if (t.text.size() > MaxNameBytes) {
        c.fail(t.column, "player name is " + std::to_string(t.text.size()) + " bytes long; at most " +
                             std::to_string(MaxNameBytes) + " fit the host's record");
    }
    if (!t.quoted && (t.text[0] == '#' || t.text[0] == '@')) {
        c.fail(t.column, "a name that begins with # or @ must be quoted");
    }
}

PlayerRef playerRef(Cursor& c) {
    const Token t = c.next("a player name");
    PlayerRef ref;
    ref.column = t.column;
    if (!t.quoted && t.text[0] == '#') {
        uint64_t ident = 0;
        if (!parseUnsigned(t.text.substr(1), ident) || ident > 65535) {
            c.fail(t.column, "expected #ident with an ident from 0 to 65535, found \"" + t.text + "\"");
        }
        ref.ident = static_cast<uint16_t>(ident);
        return ref;
    }
    checkName(c, t);
    ref.name = t.text;
    return ref;
}

// The body of a here-document opened by "<<TERM": lines up to one that is
// exactly TERM. Each body line ends with "\n".
std::string hereDocument(Cursor& c, int& line, const MoreLines& more) {
    const Token t = c.next("<<TERMINATOR");
    if (t.quoted || t.text.size() < 3 || t.text.compare(0, 2, "<<") != 0) {
        c.fail(t.column, "expected <<TERMINATOR (for example <<EOF)");
    }
    c.end();
    const std::string terminator = t.text.substr(2);
    const int opened = line;
    std::string body, next;
    for (;;) {
        if (!more(next)) throw ScenarioError(opened, t.column, "here-document is not closed by \"" + terminator + "\"");
        ++line;
        if (!next.empty() && next.back() == '\r') next.pop_back();
        checkBytes(next, line);
        if (next == terminator) return body;
        body += next;
        body += '\n';
    }
}

void playerOptions(Cursor& c, Statement& st) {
    while (!c.atEnd()) {
        const Token key = c.next("access or ship");
        if (key.text == "access" && !key.quoted) {
            st.access = static_cast<int32_t>(
                number(c, "an access level", std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
        } else if (key.text == "ship" && !key.quoted) {
            st.ship = static_cast<uint8_t>(number(c, "a ship number", 0, 255));
        } else {
            c.fail(key.column, "expected \"access N\" or \"ship N\", found \"" + key.text + "\"");
        }
    }
}

uint64_t version(Cursor& c) {
    const Token t = c.next("a version such as 6.6");
    const size_t dot = t.text.find('.');
    uint64_t major = 0, minor = 0;
    if (t.quoted) c.fail(t.column, "expected a version such as 6.6");
    if (dot == std::string::npos) return word(c, t);
    if (!parseUnsigned(t.text.substr(0, dot), major) || !parseUnsigned(t.text.substr(dot + 1), minor) ||
        major > 65535 || minor > 65535) {
        c.fail(t.column, "expected a version MAJOR.MINOR with parts from 0 to 65535, found \"" + t.text + "\"");
    }
    return (major << 16) | minor;
}

EventWord eventWord(Cursor& c) {
    c.skipBlanks();
    EventWord w;
    w.column = c.column();
    if (c.s[c.pos] == '@') {
        ++c.pos;
        if (c.pos >= c.s.size() || isBlank(c.s[c.pos])) c.fail(w.column, "expected a player name after @");
        const Token t = c.next("a player name");
        checkName(c, t);
        w.kind = EventWord::Player;
        w.player.name = t.text;
        w.player.column = w.column;
        return w;
    }
    const Token t = c.next("an event word");
    if (t.quoted) {
        w.kind = EventWord::Command;
        w.text = t.text;
    } else if (t.text == "roster") {
        w.kind = EventWord::Roster;
    } else if (t.text == "callback") {
        w.kind = EventWord::Callback;
    } else if (t.text == "null") {
        w.number = 0;
    } else {
        w.number = word(c, t);
    }
    return w;
}

}  // namespace

const char* const StatementSummary =
    "statements (docs/hostsim.md has them all):\n"
    "  bot HANDLE                  make the bot with that handle current\n"
    "  connect 6.6 [nocallback] [noroster] [noreset]\n"
    "                              Connect, then RosterReset (not with noreset)\n"
    "  disconnect                  Disconnect; the bot gets no more ticks\n"
    "  player IDENT NAME [access N] [ship N]   put a player on the roster, no event\n"
    "  arrive IDENT NAME [access N] [ship N]   the same, then PlayerArrived\n"
    "  leave NAME                  PlayerLeft; the host releases the record\n"
    "  ship NAME N                 a ship change (8 is spectating)\n"
    "  spectate NAME               the same as ship NAME 8\n"
    "  fire NAME                   WeaponFired\n"
    "  reset [drop NAME...]        RosterReset, after taking those players off\n"
    "  type NAME TEXT              the player types TEXT in chat (!command, ?help)\n"
    "  !TEXT, ?TEXT                a line typed by Operator (access 12)\n"
    "  help NAME [TOPIC]           HelpRequested\n"
    "  event CODE [WORD...]        any event, with up to 6 words\n"
    "  wait DURATION               advance time (5m, 90s, 250ms): a Tick per interval\n"
    "  pace DURATION               the tick interval (1s by default)\n"
    "  clock MS                    set the module's clock without ticks\n"
    "  file NAME <<END ... END     write a file in the work directory\n"
    "  copy PATH [NAME]            copy a file into the work directory\n"
    "  mkdir NAME, cd NAME, show NAME   directories and files of the work directory\n"
    "  expect log TEXT, expect NAME TEXT, expect nothing   what the module sent\n"
    "  expect file NAME <<END ... END, expect nofile NAME, ignore\n"
    "  state                       the host's view: time, bots, rosters, last shots\n"
    "  help, quit, exit            this list; end the session (interactive only)\n";

uint64_t parseDuration(const std::string& text, int line, int column) {
    if (text == "0") return 0;
    uint64_t total = 0;
    size_t i = 0;
    bool any = false;
    while (i < text.size()) {
        uint64_t amount = 0;
        size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            if (amount > 1000000000000ull) throw ScenarioError(line, column, "duration is too long");
            amount = amount * 10 + static_cast<uint64_t>(text[i++] - '0');
        }
        uint64_t unit = 0;
        if (i == start) {
        } else if (text.compare(i, 2, "ms") == 0) {
            unit = 1, i += 2;
        } else if (i < text.size() && text[i] == 's') {
            unit = 1000, ++i;
        } else if (i < text.size() && text[i] == 'm') {
            unit = 60000, ++i;
        } else if (i < text.size() && text[i] == 'h') {
            unit = 3600000, ++i;
        } else if (i < text.size() && text[i] == 'd') {
            unit = 86400000, ++i;
        }
        if (unit == 0) {
            throw ScenarioError(line, column,
                                "expected a duration such as 5m, 90s, 250ms or 1m30s, found \"" + text + "\"");
        }
        total += amount * unit;
        if (total > 100ull * 86400000ull) throw ScenarioError(line, column, "duration is longer than 100 days");
        any = true;
    }
    if (!any) throw ScenarioError(line, column, "expected a duration such as 5m, 90s or 250ms");
    return total;
}

std::optional<Statement> parseLine(const std::string& raw, int& line, const MoreLines& more) {
    std::string text = raw;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    checkBytes(text, line);
    Cursor c{text, line};
    if (c.atEnd() || text[c.pos] == '#') return std::nullopt;

    Statement st;
    st.line = line;
    // A line that begins with "!" or "?" is typed by the default operator.
    if (text[c.pos] == '!' || text[c.pos] == '?') {
        st.op = Op::Type;
        st.byOperator = true;
        st.argColumn = c.column();
        st.text = text.substr(c.pos);
        return st;
    }
    const Token keyword = c.next("a statement");
    const std::string& k = keyword.text;
    c.skipBlanks();
    st.argColumn = c.column();
    auto fail = [&](const std::string& message) -> void { c.fail(keyword.column, message); };
    if (keyword.quoted) fail("expected a statement, found quoted text");

    if (k == "bot") {
        st.op = Op::Bot;
        st.number = word(c, c.next("a bot handle"));
        if (sizeof(uintptr_t) < 8 && st.number > UINTPTR_MAX) c.fail(st.argColumn, "handle does not fit a word");
    } else if (k == "connect") {
        st.op = Op::Connect;
        st.number = version(c);
        while (!c.atEnd()) {
            const Token t = c.next("an option");
            if (t.text == "nocallback" && !t.quoted) {
                st.noCallback = true;
            } else if (t.text == "noroster" && !t.quoted) {
                st.noRoster = true;
            } else if (t.text == "noreset" && !t.quoted) {
                st.noReset = true;
            } else {
                c.fail(t.column, "expected nocallback, noroster or noreset, found \"" + t.text + "\"");
            }
        }
    } else if (k == "disconnect") {
        st.op = Op::Disconnect;
    } else if (k == "player" || k == "arrive") {
        st.op = Op::Player;
        st.arrive = k == "arrive";
        st.number = static_cast<uint64_t>(number(c, "an ident", 0, 65535));
        const Token name = c.next("a player name");
        checkName(c, name);
        st.text = name.text;
        st.player.name = name.text;
        st.player.column = name.column;
        playerOptions(c, st);
    } else if (k == "leave" || k == "fire" || k == "spectate") {
        st.op = k == "leave" ? Op::Leave : k == "fire" ? Op::Fire : Op::Ship;
        st.player = playerRef(c);
        if (k == "spectate") st.number = 8;
    } else if (k == "ship") {
        st.op = Op::Ship;
        st.player = playerRef(c);
        st.number = static_cast<uint64_t>(number(c, "a ship number", 0, 255));
    } else if (k == "reset") {
        st.op = Op::Reset;
        if (!c.atEnd()) {
            const Token t = c.next("drop");
            if (t.quoted || t.text != "drop") c.fail(t.column, "expected \"drop NAME...\", found \"" + t.text + "\"");
            do {
                st.dropped.push_back(playerRef(c));
            } while (!c.atEnd());
        }
    } else if (k == "state") {
        st.op = Op::State;
    } else if (k == "type") {
        st.op = Op::Type;
        st.player = playerRef(c);
        st.text = c.rest();
        if (st.text.empty()) c.fail(c.column(), "expected the text that the player types");
        return st;
    } else if (k == "help") {
        st.op = Op::Help;
        if (c.atEnd()) {
            c.fail(c.column(),
                   "expected a player name (help NAME [TOPIC]; in interactive mode, help alone lists the "
                   "statements)");
        }
        st.player = playerRef(c);
        st.text = c.rest();
        return st;
    } else if (k == "event") {
        st.op = Op::Event;
        st.number = static_cast<uint64_t>(number(c, "an event code", 0, 0xFFFFFFFFll));
        while (!c.atEnd()) {
            if (st.words.size() == 6) c.fail(c.column(), "an event has at most 6 parameter words");
            st.words.push_back(eventWord(c));
        }
    } else if (k == "wait" || k == "pace") {
        st.op = k == "wait" ? Op::Wait : Op::Pace;
        const Token t = c.next("a duration");
        st.number = parseDuration(t.text, line, t.column);
        if (st.op == Op::Pace && st.number == 0) c.fail(t.column, "the tick pace must be above 0");
    } else if (k == "clock") {
        st.op = Op::Clock;
        st.number = word(c, c.next("a clock value in milliseconds"));
    } else if (k == "file") {
        st.op = Op::File;
        st.text = c.next("a file name").text;
        st.body = hereDocument(c, line, more);
        return st;
    } else if (k == "copy") {
        st.op = Op::Copy;
        st.text = c.next("a path").text;
        if (!c.atEnd()) {
            const Token name = c.next("a file name");
            st.name = name.text;
            st.nameColumn = name.column;
        }
    } else if (k == "mkdir" || k == "cd" || k == "show") {
        st.op = k == "mkdir" ? Op::Mkdir : k == "cd" ? Op::Cd : Op::Show;
        st.text = c.next("a path").text;
    } else if (k == "ignore") {
        st.op = Op::Ignore;
    } else if (k == "expect") {
        c.skipBlanks();
        const size_t at = c.pos;
        const Token t = c.next("log, nothing, file, nofile or a player");
        if (!t.quoted && t.text == "nothing") {
            st.op = Op::ExpectNothing;
        } else if (!t.quoted && t.text == "file") {
            st.op = Op::ExpectFile;
            const Token name = c.next("a file name");
            st.name = name.text;
            st.nameColumn = name.column;
            st.body = hereDocument(c, line, more);
            return st;
        } else if (!t.quoted && t.text == "nofile") {
            st.op = Op::ExpectNoFile;
            const Token name = c.next("a file name");
            st.name = name.text;
            st.nameColumn = name.column;
        } else {
            if (!t.quoted && t.text == "log") {
                st.op = Op::ExpectLog;
            } else {
                st.op = Op::ExpectChat;
                c.pos = at;
                st.player = playerRef(c);
            }
            st.text = c.rest();
            if (st.text.empty()) c.fail(c.column(), "expected the text of the message after one blank");
            return st;
        }
    } else {
        fail("unknown statement \"" + k + "\"");
    }
    c.end();
    return st;
}

}  // namespace hostsim
