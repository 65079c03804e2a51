#include "kit/text.h"

#include "host/protocol.h"

namespace idlewarden {

uint32_t textLength(const char* text) {
    uint32_t n = 0;
    while (text[n] != '\0') ++n;
    return n;
}

char toLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool equalsIgnoreCase(const char* a, const char* b) {
    for (uint32_t i = 0;; ++i) {
        if (toLowerAscii(a[i]) != toLowerAscii(b[i])) return false;
        if (a[i] == '\0') return true;
    }
}

static bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isNumeric(const char* text) {
    const char* s = text;
    if (*s == '-') ++s;
    if (!isDigit(*s)) return false;  // empty, or a lone '-'
    for (++s; *s != '\0'; ++s) {
        if (!isDigit(*s)) return false;
    }
    return true;
}

int32_t textToNumber(const char* text, uint32_t base) {
    const char* digits = text;
    bool negative = false;
    if (*digits == '-') {
        negative = true;
        ++digits;
    }
    uint32_t sum = 0;
    uint32_t weight = 1;
    for (uint32_t i = textLength(digits); i > 0; --i) {
        const char c = toLowerAscii(digits[i - 1]);
        // Letters count from 10 ('a' - 87); other bytes are not refused.
        const uint32_t value =
            isDigit(c) ? static_cast<uint32_t>(c - '0') : static_cast<uint32_t>(static_cast<signed char>(c) - 87);
        sum += value * weight;
        weight *= base;
    }
    if (negative) sum = 0u - sum;
    return static_cast<int32_t>(sum);
}

bool isCommand(const CommandRecord& command, const char* literal) {
    const char* name = command.name;
    for (uint32_t i = 0;; ++i) {
        if (name[i] != literal[i]) return false;
        if (name[i] == '\0') return true;
    }
}

bool isTopic(const CommandRecord& command, const char* literal) {
    const char* params = command.params;
    for (uint32_t i = 0;; ++i) {
        if (literal[i] != toLowerAscii(params[i])) return false;
        if (literal[i] == '\0') return true;
    }
}

}  // namespace idlewarden
