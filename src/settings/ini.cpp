#include "settings/ini.h"

#include "kit/text.h"
#include "platform/platform.h"

namespace idlewarden {

namespace ini_detail {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

namespace {

TextSpan trim(const char* start, const char* end) {
    while (start < end && isBlank(*start)) ++start;
    while (end > start && isBlank(end[-1])) --end;
    return TextSpan{start, static_cast<uint32_t>(end - start)};
}
}  // namespace

bool nextLine(const char*& cursor, const char* end, TextSpan& line) {
    if (cursor >= end) return false;
    const char* start = cursor;
    while (cursor < end && *cursor != '\n') ++cursor;
    line = trim(start, cursor);
    if (cursor < end) ++cursor;  // past the '\n'
    return true;
}

bool isSectionLine(const TextSpan& line, TextSpan& name) {
    if (line.length == 0 || line.start[0] != '[') return false;
    const char* end = line.start + line.length;
    const char* close = line.start + 1;
    while (close < end && *close != ']') ++close;
    name = trim(line.start + 1, close);
    return true;
}

bool splitKeyLine(const TextSpan& line, TextSpan& key, TextSpan& value) {
    if (line.length == 0 || line.start[0] == ';' || line.start[0] == '[') return false;
    const char* end = line.start + line.length;
    const char* equals = line.start;
    while (equals < end && *equals != '=') ++equals;
    if (equals == end) return false;
    key = trim(line.start, equals);
    value = trim(equals + 1, end);
    // One pair of matching quotes around the value is taken off.
    if (value.length >= 2) {
        const char first = value.start[0];
        if ((first == '"' || first == '\'') && value.start[value.length - 1] == first) {
            value.start += 1;
            value.length -= 2;
        }
    }
    return true;
}

bool spanEqualsIgnoreCase(const TextSpan& span, const char* text) {
    uint32_t i = 0;
    for (; i < span.length; ++i) {
        if (text[i] == '\0' || toLowerAscii(span.start[i]) != toLowerAscii(text[i])) return false;
    }
    return text[i] == '\0';
}

const char* textStart(const String& text) {
    const char* start = text.c_str();
    // A byte order mark in front of the first line is not part of it.
    if (text.length >= 3 && static_cast<unsigned char>(start[0]) == 0xEF &&
        static_cast<unsigned char>(start[1]) == 0xBB && static_cast<unsigned char>(start[2]) == 0xBF) {
        start += 3;
    }
    return start;
}

bool seekSection(const String& text, const char* section, const char*& cursor) {
    const char* end = text.c_str() + text.length;
    cursor = textStart(text);
    TextSpan line, name;
    while (nextLine(cursor, end, line)) {
        if (isSectionLine(line, name) && spanEqualsIgnoreCase(name, section)) return true;
    }
    return false;
}

}  // namespace ini_detail

bool iniLookup(const String& text, const char* section, const char* key, TextSpan& value) {
    bool found = false;
    iniForEachKey(text, section, [&](const TextSpan& k, const TextSpan& v) {
        if (!ini_detail::spanEqualsIgnoreCase(k, key)) return true;
        value = v;
        found = true;
        return false;
    });
    return found;
}

bool IniWriter::section(const char* name) {
    ok = ok && text.append("[", 1) && text.append(name) && text.append("]", 1) && text.append(platform::LineEnd);
    return ok;
}

bool IniWriter::entry(const char* key, const char* value) {
    // A value that the reader would change (blanks at an end, or a pair of
    // quotes around it) is written inside quotes, which the reader takes off.
    // A line break cannot be stored in a value: the value ends there, so a
    // value never adds lines of its own to the file.
    uint32_t n = 0;
    while (value[n] != '\0' && value[n] != '\r' && value[n] != '\n') ++n;
    const bool quoted = n > 0 && (ini_detail::isBlank(value[0]) || ini_detail::isBlank(value[n - 1]) ||
                                  (n >= 2 && (value[0] == '"' || value[0] == '\'') && value[n - 1] == value[0]));
    ok = ok && text.append(key) && text.append("=", 1) && (!quoted || text.append("\"", 1)) && text.append(value, n) &&
         (!quoted || text.append("\"", 1)) && text.append(platform::LineEnd);
    return ok;
}

}  // namespace idlewarden
