#include "settings/settings_check.h"

#include <algorithm>
#include <new>

#include "kit/linked_list.h"
#include "kit/text.h"
#include "settings/ini.h"
#include "settings/settings_rules.h"

namespace idlewarden {

namespace {

// Longer values are shown by their first bytes and "...".
constexpr uint32_t ShownLength = 64;

struct Warning {
    uint32_t line;
    uint32_t order;  // of finding, to keep several of one line in order
    String text;
};

bool spanIs(const TextSpan& span, const char* text) { return ini_detail::spanEqualsIgnoreCase(span, text); }

// A warning's text, built piece by piece; `ok` goes false for good once
// memory runs short.
struct Text {
    String text;
    bool ok = true;

    Text& add(const char* piece) {
        ok = ok && text.append(piece);
        return *this;
    }
    // A control byte of the file (a NUL above all, which would end the
    // warning's text) is shown as \xNN.
    Text& add(const TextSpan& span) {
        static const char hex[] = "0123456789ABCDEF";
        uint32_t from = 0;
        for (uint32_t i = 0; ok && i < span.length; ++i) {
            const auto c = static_cast<unsigned char>(span.start[i]);
            if ((c >= 0x20 || c == '\t') && c != 0x7F) continue;
            const char escaped[4] = {'\\', 'x', hex[c >> 4], hex[c & 15]};
            ok = text.append(span.start + from, i - from) && text.append(escaped, 4);
            from = i + 1;
        }
        ok = ok && text.append(span.start + from, span.length - from);
        return *this;
    }
    Text& add(uint32_t number) {
        bool complete = false;
        String digits = numberToText(number, 10, 0, false, &complete);
        ok = ok && complete && text.append(digits.c_str(), digits.length);
        return *this;
    }
    // "value" in quotes, cut for showing.
    Text& quoted(const TextSpan& value) {
        const TextSpan shown{value.start, std::min(value.length, ShownLength)};
        add("\"").add(shown);
        if (shown.length < value.length) add("...");
        return add("\"");
    }
};

struct Checker {
    const String& file;
    LinkedList<Warning> warnings;
    uint32_t found = 0;
    bool ok = true;

    explicit Checker(const String& text) : file(text) {}

    void report(uint32_t line, Text& text) {
        if (!ok || !text.ok) {
            ok = false;
            return;
        }
        auto* warning = new (std::nothrow) Warning{line, found++, String()};
        if (warning == nullptr || !warnings.append(warning)) {
            ok = false;
            return;
        }
        warning->text.swap(text.text);
    }

    // ---- [Settings] ----

    // A value that a NUL byte ends early; what follows it is not read.
    void nulCut(const IniLine& line, const char* key) {
        const TextSpan value = valueText(line.value);
        if (value.length == line.value.length) return;
        Text t;
        report(line.number, t.add(key).add(" is cut at a NUL byte to ").quoted(value));
    }

    void enabledLine(const IniLine& line) {
        nulCut(line, EnabledKey);
        const TextSpan value = valueText(line.value);
        Text t;
        if (value.length == 0) {
            report(line.number, t.add("Enabled is empty; ignored"));
            return;
        }
        const bool on = enabledSwitchesOn(line.value);
        const bool zero = value.start[0] == '0';
        if (value.length > 1) {
            t.add("Enabled ").quoted(value).add(" is read as its first character ").quoted(TextSpan{value.start, 1});
            if (!on && !zero) t.add(", which is not a number above 0; ignored");
            report(line.number, t);
        } else if (!on && !zero) {
            report(line.number, t.add("Enabled ").quoted(value).add(" is not a number above 0; ignored"));
        }
    }

    void afkTimeLine(const IniLine& line) {
        nulCut(line, AfkTimeKey);
        const TextSpan value = valueText(line.value);
        const AfkTimeReading reading = readAfkTime(line.value);
        Text t;
        if (value.length == 0) {
            report(line.number, t.add("AfkTime is empty; ignored"));
        } else if (!reading.usable) {
            report(line.number, t.add("AfkTime ").quoted(value).add(" is not a whole number of minutes; ignored"));
        } else if (reading.wrapped) {
            report(line.number,
                   t.add("AfkTime ").quoted(value).add(" is cut to 16 bits: ").add(reading.minutes).add(" minutes"));
        }
    }

    // A key that the lookups read once: the line whose value they return
    // counts, any other line of that key repeats it.
    void readOnceKey(const IniLine& line, const char* key, const TextSpan& read, uint32_t& readLine,
                     void (Checker::*judge)(const IniLine&)) {
        if (line.value.start == read.start && line.value.length == read.length && readLine == 0) {
            readLine = line.number;
            (this->*judge)(line);
            return;
        }
        Text t;
        report(line.number, t.add(key).add(" repeats line ").add(readLine).add("; this line is ignored"));
    }

    // ---- [Exemptions] ----

    // The NameK lines in file order, to find a plan line's number.
    struct NameLineNumber {
        const char* start;
        uint32_t number;
    };
    NameLineNumber* nameLines = nullptr;
    uint32_t nameLineCount = 0;
    uint32_t nameLineRoom = 0;

    uint32_t lineOf(const char* valueStart) const {
        // The last NameK line starting at or before the value.
        const NameLineNumber* end = nameLines + nameLineCount;
        const NameLineNumber* at = std::upper_bound(static_cast<const NameLineNumber*>(nameLines), end, valueStart,
                                                    [](const char* p, const NameLineNumber& l) { return p < l.start; });
        return at == nameLines ? 0 : (at - 1)->number;
    }

    void names(const NamePlan& plan) {
        char stored[ExemptName::Size];
        char firstStored[ExemptName::Size];
        for (uint32_t i = 0; i < plan.count; ++i) {
            const NameLine& name = plan.lines[i];
            const uint32_t line = lineOf(name.start);
            const TextSpan value = valueText(name.value());
            Text t;
            switch (name.fate) {
                case NameFate::RepeatedKey:
                    t.add("Name").add(name.number).add(" repeats line ").add(lineOf(plan.lines[name.repeats].start));
                    report(line, t.add("; this line is ignored"));
                    break;
                case NameFate::Empty: report(line, t.add("Name").add(name.number).add(" is empty; ignored")); break;
                case NameFate::AlreadyListed:
                    t.add("name ").quoted(value).add(" is already on the list");
                    if (name.repeats != NameLine::NoLine) {
                        const NameLine& first = plan.lines[name.repeats];
                        const uint32_t n = storedName(first.value(), firstStored);
                        t.add(" as ").quoted(TextSpan{firstStored, n}).add(" (Name").add(first.number);
                        t.add(", line ").add(lineOf(first.start)).add(")");
                    }
                    report(line, t.add("; ignored"));
                    break;
                case NameFate::Loaded: {
                    const uint32_t n = storedName(name.value(), stored);
                    // The cut that decides: a NUL within the first 19 bytes, or the length.
                    if (value.length < name.length && value.length <= ExemptName::MaxLength) {
                        report(line, t.add("name is cut at a NUL byte to ").quoted(TextSpan{stored, n}));
                    } else if (n < value.length) {
                        t.add("name ").quoted(value).add(" is cut to ").add(n).add(" characters: ");
                        report(line, t.quoted(TextSpan{stored, n}));
                    }
                    break;
                }
            }
        }
    }

    // ---- the walk ----

    bool run() {
        const char* settingsStart = nullptr;
        const char* exemptionsStart = nullptr;
        const bool hasSettings = ini_detail::seekSection(file, SettingsSection, settingsStart);
        const bool hasExemptions = ini_detail::seekSection(file, ExemptionsSection, exemptionsStart);
        TextSpan enabled, afkTime;
        if (!iniLookup(file, SettingsSection, EnabledKey, enabled)) enabled = TextSpan{};
        if (!iniLookup(file, SettingsSection, AfkTimeKey, afkTime)) afkTime = TextSpan{};

        NamePlan plan;
        const ExemptList none;  // a new bot's list
        if (!plan.make(file, none)) return false;
        nameLineRoom = plan.count;
        if (nameLineRoom > 0) {
            nameLines = new (std::nothrow) NameLineNumber[nameLineRoom];
            if (nameLines == nullptr) return false;
        }

        enum { Outside, InSettings, InExemptions, Unread } where = Outside;
        uint32_t settingsLine = 0, exemptionsLine = 0, enabledLine = 0, afkTimeLine = 0;
        iniForEachLine(file, [&](const IniLine& line) {
            Text t;
            switch (line.kind) {
                case IniLine::Blank:
                case IniLine::Comment: break;
                case IniLine::Section: {
                    const bool isSettings = spanIs(line.name, SettingsSection);
                    const bool isExemptions = spanIs(line.name, ExemptionsSection);
                    if (isSettings && hasSettings && line.end == settingsStart) {
                        where = InSettings;
                        settingsLine = line.number;
                    } else if (isExemptions && hasExemptions && line.end == exemptionsStart) {
                        where = InExemptions;
                        exemptionsLine = line.number;
                    } else if (isSettings || isExemptions) {
                        where = Unread;
                        t.add("section [").add(line.name).add("] repeats line ");
                        t.add(isSettings ? settingsLine : exemptionsLine);
                        report(line.number, t.add("; only the first is read, this one and its lines are ignored"));
                    } else {
                        where = Unread;
                        report(line.number,
                               t.add("section [").add(line.name).add("] is read by nobody; its lines are ignored"));
                    }
                    break;
                }
                case IniLine::Other:
                    if (where != Unread)
                        report(line.number, t.add("line is neither key=value nor a [section]; ignored"));
                    break;
                case IniLine::Key:
                    if (where == Outside) {
                        report(line.number, t.add("key ").quoted(line.key).add(" is outside any section; ignored"));
                    } else if (where == InSettings) {
                        if (spanIs(line.key, EnabledKey)) {
                            readOnceKey(line, EnabledKey, enabled, enabledLine, &Checker::enabledLine);
                        } else if (spanIs(line.key, AfkTimeKey)) {
                            readOnceKey(line, AfkTimeKey, afkTime, afkTimeLine, &Checker::afkTimeLine);
                        } else {
                            t.add("key ").quoted(line.key);
                            report(line.number, t.add(" is read by no setting (Enabled, AfkTime); ignored"));
                        }
                    } else if (where == InExemptions) {
                        if (nameKeyNumber(line.key) == 0) {
                            t.add("key ").quoted(line.key);
                            report(line.number, t.add(" is not a name key (Name1, Name2, ...); ignored"));
                        } else if (nameLineCount < nameLineRoom) {
                            nameLines[nameLineCount++] = NameLineNumber{line.start, line.number};
                        }
                    }
                    break;
            }
        });
        names(plan);
        // Checking switched on with no limit lasts only until the roster
        // event that a host sends right after the connect: it switches
        // checking off again for want of a limit.
        if (enabledLine != 0 && enabledSwitchesOn(enabled) && readAfkTime(afkTime).minutes == 0) {
            Text t;
            report(enabledLine, t.add("Enabled switches checking on, but no time limit (AfkTime above 0) is set: "
                                      "the host's roster event after the connect switches it off again"));
        }
        return ok;
    }

    ~Checker() { delete[] nameLines; }
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;
};

}  // namespace

int32_t checkSettingsText(const String& text, SettingsWarningSink sink, void* context) {
    Checker checker(text);
    if (!checker.run()) return -1;
    const uint32_t n = checker.warnings.nodeCount;
    if (n == 0) return 0;
    Warning** sorted = new (std::nothrow) Warning*[n];
    if (sorted == nullptr) return -1;
    uint32_t i = 0;
    for (auto* node = checker.warnings.firstNode; node != nullptr; node = node->nextNode) sorted[i++] = node->item;
    std::sort(sorted, sorted + n, [](const Warning* a, const Warning* b) {
        return a->line != b->line ? a->line < b->line : a->order < b->order;
    });
    for (i = 0; i < n; ++i) sink(context, sorted[i]->line, sorted[i]->text.c_str());
    delete[] sorted;
    return static_cast<int32_t>(n);
}

platform::ReadStatus checkSettingsFile(const char* path, SettingsWarningSink sink, void* context, int32_t& warnings) {
    warnings = 0;
    String text;
    const platform::ReadStatus status = platform::readFile(path, SettingsFileMaxSize, text);
    if (status == platform::ReadStatus::Ok) warnings = checkSettingsText(text, sink, context);
    return status;
}

}  // namespace idlewarden
