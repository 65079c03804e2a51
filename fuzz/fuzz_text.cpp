// Fuzz target: the text routines and String against small models of their
// stated results.
//
// Input layout: byte 0 picks the routine; the rest are its arguments (four
// bytes of a number, bytes of a base and a digit count, or two texts split
// at NUL bytes).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/protocol.h"
#include "kit/text.h"
#include "kit/text_string.h"

using idlewarden::String;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

struct Reader {
    const uint8_t* p;
    const uint8_t* end;

    uint8_t byte() { return p < end ? *p++ : 0; }
    uint32_t word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
        return v;
    }
    // Bytes up to the next NUL (or the end): a C text.
    std::string text() {
        std::string s;
        while (p < end && *p != 0) s.push_back(static_cast<char>(*p++));
        if (p < end) ++p;
        return s;
    }
};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ---- models ----

std::string modelNumberToText(uint32_t value, uint32_t base, uint32_t minDigits, bool signedMode) {
    static const char alphabet[] = "0123456789abcdefghijklmnopqrstuv";
    if (value == 0) return std::string(minDigits == 0 ? 1 : minDigits, '0');
    bool minus = signedMode && (value & 0x80000000u) != 0;
    uint64_t magnitude = minus ? (uint64_t{1} << 32) - value : value;
    std::string digits;
    for (; magnitude != 0; magnitude /= base) digits.insert(digits.begin(), alphabet[magnitude % base]);
    if (digits.size() < minDigits) digits.insert(0, minDigits - digits.size(), '0');
    return minus ? "-" + digits : digits;
}

bool modelIsNumeric(const std::string& s) {
    size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

// Decimal value modulo 2^32 of a numeric text, read as signed.
int32_t modelDecimal(const std::string& s) {
    bool negative = s[0] == '-';
    uint64_t v = 0;
    for (size_t i = negative ? 1 : 0; i < s.size(); ++i) v = (v * 10 + static_cast<uint64_t>(s[i] - '0')) & 0xFFFFFFFFu;
    uint32_t bits = static_cast<uint32_t>(v);
    if (negative) bits = 0u - bits;
    int32_t out;
    std::memcpy(&out, &bits, sizeof out);
    return out;
}

bool modelEqualsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string contents(const String& s) {
    check(s.c_str() != nullptr && s.c_str()[s.length] == '\0', "String not NUL-terminated at its length");
    return std::string(s.c_str(), s.length);
}

// ---- properties ----

void numberToTextMatchesModel(Reader& in) {
    const uint32_t value = in.word();
    const uint32_t base = 2 + in.byte() % 31;
    const uint16_t minDigits = static_cast<uint16_t>(in.byte() % 33);
    const bool signedMode = (in.byte() & 1) != 0;
    bool complete = false;
    String text = idlewarden::numberToText(value, base, minDigits, signedMode, &complete);
    if (!complete) return;
    check(contents(text) == modelNumberToText(value, base, minDigits, signedMode), "numberToText");
    // Decimal texts read back to the same 32 bits.
    if (base == 10 && signedMode) {
        check(static_cast<uint32_t>(idlewarden::textToNumber(text.c_str(), 10)) == value, "decimal round trip");
        String fromNumber(static_cast<int32_t>(value));
        check(contents(fromNumber) == modelNumberToText(value, 10, 0, true) || fromNumber.length == 0,
              "String from a number");
    }
}

void numericTextsReadAsModel(Reader& in) {
    const std::string s = in.text();
    check(idlewarden::isNumeric(s.c_str()) == modelIsNumeric(s), "isNumeric");
    check(idlewarden::textLength(s.c_str()) == s.size(), "textLength");
    if (modelIsNumeric(s)) {
        check(idlewarden::textToNumber(s.c_str(), 10) == modelDecimal(s), "textToNumber");
        String text;
        if (text.assign(s.c_str())) check(text.toInt() == modelDecimal(s), "String::toInt");
    } else {
        (void)idlewarden::textToNumber(s.c_str(), 2 + static_cast<uint32_t>(s.size() % 35));  // any bytes, any base
    }
}

void comparisonsMatchModel(Reader& in) {
    const std::string a = in.text();
    const std::string b = in.text();
    const bool expected = modelEqualsIgnoreCase(a, b);
    check(idlewarden::equalsIgnoreCase(a.c_str(), b.c_str()) == expected, "equalsIgnoreCase(a, b)");
    check(idlewarden::equalsIgnoreCase(b.c_str(), a.c_str()) == expected, "equalsIgnoreCase(b, a)");
    String sa;
    if (sa.assign(a.c_str())) check(sa.equalsIgnoreCase(b.c_str()) == expected, "String::equalsIgnoreCase");
    CommandRecord command{};
    command.name = a.c_str();
    command.params = a.c_str();
    check(idlewarden::isCommand(command, b.c_str()) == (a == b), "isCommand");
    std::string lowerB = b;
    for (char& c : lowerB) c = lower(c);
    check(idlewarden::isTopic(command, lowerB.c_str()) == expected, "isTopic");
}

// A run of assign/append/prepend steps mirrored on std::string.
void stringEditsMatchModel(Reader& in) {
    String s;
    std::string model;
    for (int step = 0; step < 16 && in.p < in.end; ++step) {
        const uint8_t op = in.byte();
        const std::string piece = in.text();
        const uint32_t n = static_cast<uint32_t>(piece.size()) == 0 ? 0 : op % (piece.size() + 1);
        bool ok = true;
        switch (op % 7) {
            case 0:
                ok = s.assign(piece.c_str(), n);
                if (ok) model.assign(piece, 0, n);
                break;
            case 1:
                ok = s.assign(piece.c_str());
                if (ok) model = piece;
                break;
            case 2:
                ok = s.append(piece.c_str(), n);
                if (ok) model.append(piece, 0, n);
                break;
            case 3:
                ok = s.append(piece.c_str());
                if (ok) model += piece;
                break;
            case 4:
                ok = s.prepend(piece.c_str(), n);
                if (ok) model.insert(0, piece, 0, n);
                break;
            case 5: {
                const int32_t v = static_cast<int32_t>(in.word());
                ok = s.append(v);
                if (ok) model += modelNumberToText(static_cast<uint32_t>(v), 10, 0, true);
                break;
            }
            default: {
                String copy(s);
                String other;
                other = copy;
                check(contents(other) == model || other.length == 0, "copy");
                break;
            }
        }
        check(contents(s) == model, "String edits");
        check(s.isEmpty() == model.empty(), "isEmpty");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 4096) return 0;
    Reader in{data + 1, data + size};
    switch (data[0] % 4) {
        case 0: numberToTextMatchesModel(in); break;
        case 1: numericTextsReadAsModel(in); break;
        case 2: comparisonsMatchModel(in); break;
        default: stringEditsMatchModel(in); break;
    }
    return 0;
}
