// Fuzz target: the INI reader on arbitrary bytes, and a writer -> reader
// round trip.
//
// Input layout: byte 0 chooses the mode. Mode "read" takes the rest as a
// file's text and checks that every span the reader hands out lies inside
// the text, holds no line end, and that a lookup finds what the walk found
// first; the settings check reports in line order, within the file's lines. Mode "round trip" builds pairs of names and
// values from the rest, writes them with IniWriter and reads them back unchanged (a value up to its first line break,
// which is all the writer stores).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kit/text.h"
#include "kit/text_string.h"
#include "settings/ini.h"
#include "settings/settings_check.h"

using idlewarden::IniWriter;
using idlewarden::String;
using idlewarden::TextSpan;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool insideText(const String& text, const TextSpan& span) {
    const char* begin = text.c_str();
    const char* end = begin + text.length;
    return span.start >= begin && span.start + span.length <= end;
}

bool hasByte(const TextSpan& span, char c) { return std::memchr(span.start, c, span.length) != nullptr; }

std::string lowered(const char* start, size_t n) {
    std::string s(start, n);
    for (char& c : s) c = idlewarden::toLowerAscii(c);
    return s;
}

struct Reported {
    uint32_t calls = 0;
    uint32_t lastLine = 0;
    bool ordered = true;
};

void noteWarning(void* context, uint32_t line, const char* text) {
    auto* r = static_cast<Reported*>(context);
    r->ordered = r->ordered && line >= r->lastLine && line >= 1 && text[0] != '\0';
    r->lastLine = line;
    ++r->calls;
}

void checkSettings(const String& text) {
    uint32_t lines = 0;
    idlewarden::iniForEachLine(
        text, [&](const idlewarden::IniLine& line) { check(line.number == ++lines, "lines not numbered in order"); });
    Reported reported;
    const int32_t n = idlewarden::checkSettingsText(text, &noteWarning, &reported);
    check(n == static_cast<int32_t>(reported.calls), "check count differs from its reports");
    check(reported.ordered && reported.lastLine <= lines, "warnings out of order or past the end");
}

void readArbitrary(const uint8_t* data, size_t size) {
    String text;
    if (!text.assign(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size))) return;
    const char* sections[] = {"Settings", "Exemptions", "", "settings", "a"};
    for (const char* section : sections) {
        std::vector<std::string> seenKeys;
        std::vector<TextSpan> seenValues;
        idlewarden::iniForEachKey(text, section, [&](const TextSpan& key, const TextSpan& value) {
            check(insideText(text, key) && insideText(text, value), "span outside the text");
            check(!hasByte(key, '\n') && !hasByte(value, '\n'), "span crosses a line end");
            check(key.length == 0 || (!idlewarden::ini_detail::isBlank(key.start[0]) &&
                                      !idlewarden::ini_detail::isBlank(key.start[key.length - 1])),
                  "key not trimmed");
            check(!hasByte(key, '='), "key holds '='");
            seenKeys.push_back(lowered(key.start, key.length));
            seenValues.push_back(value);
            return seenKeys.size() < 64;
        });
        // A lookup answers with the first line of its key.
        for (size_t i = 0; i < seenKeys.size(); ++i) {
            if (seenKeys[i].find('\0') != std::string::npos) continue;  // not nameable as a C text
            bool first = true;
            for (size_t j = 0; j < i; ++j) first = first && seenKeys[j] != seenKeys[i];
            if (!first) continue;
            TextSpan found;
            check(idlewarden::iniLookup(text, section, seenKeys[i].c_str(), found), "walked key not found");
            check(found.start == seenValues[i].start && found.length == seenValues[i].length,
                  "lookup disagrees with the walk");
        }
    }
    checkSettings(text);
}

// Makes a name the reader reads back as itself: no line end, NUL, '=' or
// ']', no blank at either end, not starting with ';' or '['.
std::string nameFrom(const uint8_t*& p, const uint8_t* end) {
    std::string s;
    size_t n = p < end ? (*p++ % 12) + 1 : 1;
    while (n-- > 0 && p < end) {
        char c = static_cast<char>(*p++);
        if (c == '\n' || c == '\0' || c == '=' || c == ']' || idlewarden::ini_detail::isBlank(c)) c = 'k';
        s.push_back(c);
    }
    if (s.empty() || s[0] == ';' || s[0] == '[') s.insert(s.begin(), 'K');
    return s;
}

// Any value without a NUL: blanks, quotes and line breaks included.
std::string valueFrom(const uint8_t*& p, const uint8_t* end) {
    std::string s;
    size_t n = p < end ? *p++ % 24 : 0;
    while (n-- > 0 && p < end) {
        char c = static_cast<char>(*p++);
        if (c == '\0') c = ' ';
        s.push_back(c);
    }
    return s;
}

// What the reader gives back: a value is written up to its first line break.
std::string storedForm(const std::string& value) { return value.substr(0, value.find_first_of("\r\n")); }

void roundTrip(const uint8_t* data, size_t size) {
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    const std::string first = nameFrom(p, end);
    std::string second = nameFrom(p, end);
    if (lowered(second.data(), second.size()) == lowered(first.data(), first.size())) second += "2";
    std::vector<std::pair<std::string, std::string>> entries;
    while (p < end && entries.size() < 16) {
        std::string key = nameFrom(p, end);
        // Keys differ ignoring case, so that each lookup has one answer.
        for (bool clash = true; clash;) {
            clash = false;
            for (const auto& e : entries)
                clash = clash || lowered(e.first.data(), e.first.size()) == lowered(key.data(), key.size());
            if (clash) key += "_";
        }
        entries.emplace_back(key, storedForm(valueFrom(p, end)));
    }
    IniWriter writer;
    bool ok = writer.section(first.c_str());
    for (const auto& e : entries) ok = ok && writer.entry(e.first.c_str(), e.second.c_str());
    // A second section with the same keys and other values must not leak in.
    ok = ok && writer.section(second.c_str());
    for (const auto& e : entries) ok = ok && writer.entry(e.first.c_str(), "other");
    if (!ok) return;

    size_t i = 0;
    idlewarden::iniForEachKey(writer.text, first.c_str(), [&](const TextSpan& key, const TextSpan& value) {
        check(i < entries.size(), "more keys read than written");
        check(std::string(key.start, key.length) == entries[i].first, "key changed on the way");
        check(std::string(value.start, value.length) == entries[i].second, "value changed on the way");
        ++i;
        return true;
    });
    check(i == entries.size(), "fewer keys read than written");
    for (const auto& e : entries) {
        TextSpan value;
        check(idlewarden::iniLookup(writer.text, first.c_str(), e.first.c_str(), value), "written key missing");
        check(std::string(value.start, value.length) == e.second, "lookup changed the value");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 1 << 16) return 0;
    if (data[0] & 1) {
        roundTrip(data + 1, size - 1);
    } else {
        readArbitrary(data + 1, size - 1);
    }
    return 0;
}
