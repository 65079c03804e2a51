// What a load makes of the settings file's text: the one place that decides
// what each value means. BotInstance::loadSettings applies these decisions;
// the settings check (settings_check.h) explains them line by line, so the
// two cannot disagree.
#pragma once

#include <cstdint>

#include "host/bot_instance.h"
#include "kit/text_string.h"
#include "settings/ini.h"

namespace idlewarden {

// The largest settings file that is read at all: a bigger one is treated as
// unreadable, as if it were missing.
inline constexpr uint32_t SettingsFileMaxSize = 16u << 20;

inline constexpr const char* SettingsSection = "Settings";
inline constexpr const char* ExemptionsSection = "Exemptions";
inline constexpr const char* EnabledKey = "Enabled";
inline constexpr const char* AfkTimeKey = "AfkTime";

// A value up to its first NUL byte, which ends it as it ends a C text.
TextSpan valueText(const TextSpan& value);

// Enabled: only its first character is read; a digit 1-9 switches checking
// on, anything else leaves the flag as it was.
bool enabledSwitchesOn(const TextSpan& value);

// AfkTime: the whole value; an optional '-' and one or more digits give the
// limit, the decimal value taken modulo 2^16 (-5 gives 65531). `usable` is
// false for anything else, which leaves the limit as it was. `wrapped` tells
// that the value was outside 0..65535.
struct AfkTimeReading {
    bool usable = false;
    bool wrapped = false;
    uint16_t minutes = 0;
};
AfkTimeReading readAfkTime(const TextSpan& value);

// K of a key "Name<K>" (any letter case), K from 1 to 2^32 - 1 in decimal
// without leading zeros; 0 for a key of any other form.
uint32_t nameKeyNumber(const TextSpan& key);

// What becomes of one NameK line of the Exemptions section.
enum class NameFate : uint8_t {
    Loaded,         // appended to the list
    RepeatedKey,    // a line with the same K came first: only that one counts
    Empty,          // nothing to store
    AlreadyListed,  // its stored form is on the list already (case ignored)
};

struct NameLine {
    const char* start;  // the value, as the reader gives it
    uint32_t length;
    uint32_t number;   // K
    uint32_t repeats;  // RepeatedKey, AlreadyListed: the line (index) it repeats; NoLine for a name listed before
    NameFate fate;

    static constexpr uint32_t NoLine = 0xFFFFFFFFu;
    TextSpan value() const { return TextSpan{start, length}; }
};

// The Exemptions section of `text` in increasing K (of two lines with one
// K, the first first), each with its fate against `list` as it stands: the
// first line of a K counts, an empty value is skipped, and a name whose
// stored form (first 19 bytes, ASCII letters without case) is on the list or
// came earlier in K order is skipped. Costs a sort of the lines by K and
// O(1) per name in a temporary hash index, freed before it returns. False,
// with `lines` null, when memory is short.
struct NamePlan {
    NameLine* lines = nullptr;
    uint32_t count = 0;

    NamePlan() = default;
    ~NamePlan() { delete[] lines; }
    NamePlan(const NamePlan&) = delete;
    NamePlan& operator=(const NamePlan&) = delete;

    bool make(const String& text, const ExemptList& list);
};

// The record text that a name value is stored as: its first 19 bytes at
// most, up to a NUL; `into` gets it NUL-terminated and zero-filled.
uint32_t storedName(const TextSpan& value, char (&into)[ExemptName::Size]);

}  // namespace idlewarden
