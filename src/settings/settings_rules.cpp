#include "settings/settings_rules.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "kit/text.h"

namespace idlewarden {

TextSpan valueText(const TextSpan& value) {
    const void* nul = value.length == 0 ? nullptr : std::memchr(value.start, '\0', value.length);
    if (nul == nullptr) return value;
    return TextSpan{value.start, static_cast<uint32_t>(static_cast<const char*>(nul) - value.start)};
}

bool enabledSwitchesOn(const TextSpan& value) {
    const TextSpan text = valueText(value);
    if (text.length == 0) return false;
    const char first[2] = {text.start[0], '\0'};
    return isNumeric(first) && textToNumber(first, 10) > 0;
}

AfkTimeReading readAfkTime(const TextSpan& value) {
    // The same reading as isNumeric and textToNumber give the whole text,
    // done on the span so that a long value is never copied.
    const TextSpan text = valueText(value);
    AfkTimeReading reading;
    uint32_t i = 0;
    const bool negative = text.length > 0 && text.start[0] == '-';
    if (negative) i = 1;
    if (i == text.length) return reading;
    uint32_t number = 0;  // modulo 2^32, as textToNumber wraps
    bool beyond = false;  // the magnitude is over 65535
    for (; i < text.length; ++i) {
        const char c = text.start[i];
        if (c < '0' || c > '9') return reading;
        number = number * 10u + static_cast<uint32_t>(c - '0');
        beyond = beyond || number > 0xFFFFu;
    }
    if (negative) number = 0u - number;
    reading.usable = true;
    reading.minutes = static_cast<uint16_t>(number & 0xFFFFu);
    reading.wrapped = beyond || (negative && reading.minutes != 0);
    return reading;
}

uint32_t nameKeyNumber(const TextSpan& key) {
    static const char prefix[] = "name";
    constexpr uint32_t prefixLength = sizeof prefix - 1;
    if (key.length <= prefixLength || key.length > prefixLength + 10) return 0;
    for (uint32_t i = 0; i < prefixLength; ++i) {
        if (toLowerAscii(key.start[i]) != prefix[i]) return 0;
    }
    if (key.start[prefixLength] == '0') return 0;
    uint64_t k = 0;
    for (uint32_t i = prefixLength; i < key.length; ++i) {
        const char c = key.start[i];
        if (c < '0' || c > '9') return 0;
        k = k * 10 + static_cast<uint32_t>(c - '0');
    }
    return k > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(k);
}

uint32_t storedName(const TextSpan& value, char (&into)[ExemptName::Size]) {
    std::memset(into, 0, sizeof into);
    const TextSpan text = valueText(value);
    const uint32_t n = std::min(text.length, ExemptName::MaxLength);
    std::memcpy(into, text.start, n);
    return n;
}

namespace {

// A name in its compared form (stored form, letters lowered, zero-padded)
// with its place: the records of the list first, then the plan's lines.
struct IndexEntry {
    uint64_t form[3];
    uint32_t place;
};
static_assert(sizeof(IndexEntry::form) >= ExemptName::Size);

void setForm(IndexEntry& entry, const char (&stored)[ExemptName::Size], uint32_t place) {
    char lowered[sizeof entry.form] = {};
    for (uint32_t i = 0; i < ExemptName::Size && stored[i] != '\0'; ++i) lowered[i] = toLowerAscii(stored[i]);
    std::memcpy(entry.form, lowered, sizeof entry.form);
    entry.place = place;
}

bool sameForm(const IndexEntry& a, const IndexEntry& b) {
    return a.form[0] == b.form[0] && a.form[1] == b.form[1] && a.form[2] == b.form[2];
}

bool formBefore(const IndexEntry& a, const IndexEntry& b) {
    for (int i = 0; i < 3; ++i) {
        if (a.form[i] != b.form[i]) return a.form[i] < b.form[i];
    }
    return a.place < b.place;
}

}  // namespace

bool NamePlan::make(const String& text, const ExemptList& list) {
    delete[] lines;
    lines = nullptr;
    count = 0;
    uint32_t keys = 0;
    iniForEachKey(text, ExemptionsSection, [&](const TextSpan& key, const TextSpan&) {
        if (nameKeyNumber(key) != 0) ++keys;
        return true;
    });
    if (keys == 0) return true;
    lines = new (std::nothrow) NameLine[keys];
    if (lines == nullptr) return false;
    iniForEachKey(text, ExemptionsSection, [&](const TextSpan& key, const TextSpan& value) {
        const uint32_t number = nameKeyNumber(key);
        if (number != 0 && count < keys) {
            lines[count++] = NameLine{value.start, value.length, number, NameLine::NoLine, NameFate::Loaded};
        }
        return true;
    });
    // In K order; of two lines with one K the earlier in the file first (the
    // values lie in the text in file order).
    std::sort(lines, lines + count, [](const NameLine& a, const NameLine& b) {
        return a.number != b.number ? a.number < b.number : a.start < b.start;
    });
    char stored[ExemptName::Size];
    uint32_t candidates = 0;
    uint32_t firstOfNumber = 0;
    for (uint32_t i = 0; i < count; ++i) {
        NameLine& line = lines[i];
        if (i > 0 && line.number == lines[i - 1].number) {
            line.fate = NameFate::RepeatedKey;
            line.repeats = firstOfNumber;
            continue;
        }
        firstOfNumber = i;
        if (storedName(line.value(), stored) == 0) {
            line.fate = NameFate::Empty;
        } else {
            ++candidates;
        }
    }
    if (candidates == 0) return true;

    // The index: every record of the list and every candidate line in its
    // compared form, sorted by form and then place; in each run of one form
    // the first place keeps its name and every later line is a duplicate.
    const uint64_t total = uint64_t{list.nodeCount} + candidates;
    IndexEntry* index = total > 0xFFFFFFFFu ? nullptr : new (std::nothrow) IndexEntry[total];
    if (index == nullptr) {
        delete[] lines;
        lines = nullptr;
        count = 0;
        return false;
    }
    uint32_t n = 0;
    for (auto* node = list.firstNode; node != nullptr && n < list.nodeCount; node = node->nextNode) {
        setForm(index[n], node->item->text, n);
        ++n;
    }
    const uint32_t listed = n;
    for (uint32_t i = 0; i < count; ++i) {
        if (lines[i].fate != NameFate::Loaded) continue;
        storedName(lines[i].value(), stored);
        setForm(index[n++], stored, listed + i);
    }
    std::sort(index, index + n, formBefore);
    for (uint32_t i = 1; i < n; ++i) {
        uint32_t first = i - 1;
        while (i < n && sameForm(index[i], index[first])) {
            if (index[i].place >= listed) {
                NameLine& line = lines[index[i].place - listed];
                line.fate = NameFate::AlreadyListed;
                line.repeats = index[first].place >= listed ? index[first].place - listed : NameLine::NoLine;
            }
            ++i;
        }
    }
    delete[] index;
    return true;
}

}  // namespace idlewarden
