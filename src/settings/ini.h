// A small INI reader and writer, enough for the settings file.
//
// The reader takes what the Windows profile API writes and what a person
// types: LF or CRLF line ends, a UTF-8 byte order mark, blank lines, lines
// starting with ';' as comments, section and key names in any letter case,
// blanks around names and values, and one pair of matching quotes around a
// value (taken off, as the profile API does). Only the first section of a
// name is read, and within it the first line of a key. Nothing allocates but
// the answers, and nothing throws.
#pragma once

#include <cstdint>

#include "kit/text_string.h"

namespace idlewarden {

// A piece of the file's text: not NUL-terminated.
struct TextSpan {
    const char* start = nullptr;
    uint32_t length = 0;
};

// Finds `key` in `section`. False when the section or key is missing.
bool iniLookup(const String& text, const char* section, const char* key, TextSpan& value);

// Calls `visit(key, value)` for every key line of the first `section`, in
// file order. Visiting stops early when `visit` returns false.
template <typename Visit>
void iniForEachKey(const String& text, const char* section, Visit visit);

// One line of the file as the lookups above see it, for explaining a file.
struct IniLine {
    enum Kind : uint8_t { Blank, Comment, Section, Key, Other };
    Kind kind = Blank;
    uint32_t number = 0;          // from 1
    const char* start = nullptr;  // the line in the text, its line end included:
    const char* end = nullptr;    // every span that a lookup gives lies within one line
    TextSpan name;                // Section: the name between the brackets
    TextSpan key, value;          // Key: as iniForEachKey gives them
};

// Calls `visit(line)` for every line of `text` in file order.
template <typename Visit>
void iniForEachLine(const String& text, Visit visit);

// Appends INI lines to a String, ending each with the platform's line end.
// A value is written up to its first line break, quoted when the reader
// would otherwise change it (blanks at an end, a pair of quotes around it).
// Every call returns false once memory has run short; the text is then not
// to be used.
struct IniWriter {
    String text;
    bool ok = true;

    bool section(const char* name);
    bool entry(const char* key, const char* value);
};

// ---- details of iniForEachKey ----
namespace ini_detail {
// Space, tab, CR, VT or FF: what is taken off around names and values.
bool isBlank(char c);
// The next line at `cursor`, blanks and line end taken off; false at `end`.
bool nextLine(const char*& cursor, const char* end, TextSpan& line);
bool isSectionLine(const TextSpan& line, TextSpan& name);
bool splitKeyLine(const TextSpan& line, TextSpan& key, TextSpan& value);
bool spanEqualsIgnoreCase(const TextSpan& span, const char* text);
// Points `cursor` just past the header of the first `section`; false if none.
bool seekSection(const String& text, const char* section, const char*& cursor);
// The first byte of the first line: past a byte order mark, if any.
const char* textStart(const String& text);
}  // namespace ini_detail

template <typename Visit>
void iniForEachKey(const String& text, const char* section, Visit visit) {
    using namespace ini_detail;
    const char* cursor = nullptr;
    if (!seekSection(text, section, cursor)) return;
    const char* end = text.c_str() + text.length;
    TextSpan line, name, key, value;
    while (nextLine(cursor, end, line)) {
        if (isSectionLine(line, name)) return;
        if (splitKeyLine(line, key, value) && !visit(key, value)) return;
    }
}

template <typename Visit>
void iniForEachLine(const String& text, Visit visit) {
    using namespace ini_detail;
    const char* cursor = textStart(text);
    const char* end = text.c_str() + text.length;
    IniLine line;
    TextSpan trimmed;
    uint32_t number = 0;
    while (cursor < end) {
        line = IniLine{};
        line.start = cursor;
        nextLine(cursor, end, trimmed);
        line.end = cursor;
        line.number = ++number;
        if (isSectionLine(trimmed, line.name)) {
            line.kind = IniLine::Section;
        } else if (trimmed.length == 0) {
            line.kind = IniLine::Blank;
        } else if (trimmed.start[0] == ';') {
            line.kind = IniLine::Comment;
        } else if (splitKeyLine(trimmed, line.key, line.value)) {
            line.kind = IniLine::Key;
        } else {
            line.kind = IniLine::Other;
        }
        visit(static_cast<const IniLine&>(line));
    }
}

}  // namespace idlewarden
