#include "kit/text_string.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "kit/text.h"

namespace idlewarden {

namespace {
// Stands in for an empty String's one-byte buffer when not even that could
// be allocated. Never written and never released.
char sharedEmpty[1] = {'\0'};

const char digitAlphabet[] = "0123456789abcdefghijklmnopqrstuv";
const char zeroRun[] = "00000000000000000000000000000000";

char* newBuffer(uint32_t length) { return new (std::nothrow) char[static_cast<size_t>(length) + 1]; }
}  // namespace

String::String() : chars(newBuffer(0)), length(0) {
    if (chars == nullptr) {
        chars = sharedEmpty;
    } else {
        chars[0] = '\0';
    }
}

String::String(const char* text) : String() { assign(text); }

String::String(int32_t value) : String() {
    bool complete = false;
    String text = numberToText(static_cast<uint32_t>(value), 10, 0, true, &complete);
    if (complete) assign(text);
}

String::String(const String& other) : String() { assign(other); }

String& String::operator=(const String& other) {
    if (this != &other) assign(other);
    return *this;
}

String::~String() { release(); }

void String::release() {
    if (chars != sharedEmpty) delete[] chars;
}

bool String::compose(const char* front, uint32_t frontLength, const char* back, uint32_t backLength) {
    if (backLength > UINT32_MAX - 1 - frontLength) return false;  // no room for the NUL
    char* buffer = newBuffer(frontLength + backLength);
    if (buffer == nullptr) return false;
    std::memcpy(buffer, front, frontLength);
    std::memcpy(buffer + frontLength, back, backLength);
    buffer[frontLength + backLength] = '\0';
    release();
    chars = buffer;
    length = frontLength + backLength;
    return true;
}

bool String::assign(const char* text, uint32_t n) { return compose(text, n, "", 0); }

bool String::assign(const char* text) { return assign(text, textLength(text)); }

bool String::assign(const String& other) { return assign(other.chars, other.length); }

bool String::append(const char* text, uint32_t n) { return compose(chars, length, text, n); }

bool String::append(const char* text) { return append(text, textLength(text)); }

bool String::append(int32_t value) {
    bool complete = false;
    String text = numberToText(static_cast<uint32_t>(value), 10, 0, true, &complete);
    return complete && append(text.chars, text.length);
}

bool String::prepend(const char* text, uint32_t n) { return compose(text, n, chars, length); }

bool String::assignRepeated(char c, uint32_t n) {
    if (n == UINT32_MAX) return false;  // no room for the NUL
    char* buffer = newBuffer(n);
    if (buffer == nullptr) return false;
    std::memset(buffer, c, n);
    buffer[n] = '\0';
    release();
    chars = buffer;
    length = n;
    return true;
}

void String::swap(String& other) {
    char* const otherChars = other.chars;
    const uint32_t otherLength = other.length;
    other.chars = chars;
    other.length = length;
    chars = otherChars;
    length = otherLength;
}

int32_t String::toInt() const { return textToNumber(chars, 10); }

bool String::equalsIgnoreCase(const char* text) const { return idlewarden::equalsIgnoreCase(text, chars); }

String numberToText(uint32_t value, uint32_t base, uint16_t minDigits, bool signedMode, bool* complete) {
    String result;
    bool ok = true;
    if (base < 2 || base > 32) base = 10;  // outside the range no caller uses
    if (minDigits > 32) minDigits = 32;
    if (value == 0) {
        ok = minDigits == 0 ? result.assign(zeroRun, 1) : result.assign(zeroRun, minDigits);
    } else {
        uint32_t magnitude = value;
        bool minus = false;
        if (signedMode && static_cast<int32_t>(value) < 0) {
            magnitude = 0u - value;
            minus = true;
        }
        uint32_t digits = 0;
        while (ok && magnitude != 0) {
            ok = result.prepend(&digitAlphabet[magnitude % base], 1);
            magnitude /= base;
            ++digits;
        }
        if (ok && minDigits > digits) ok = result.prepend(zeroRun, minDigits - digits);
        if (ok && minus) ok = result.prepend("-", 1);
    }
    if (complete != nullptr) *complete = ok;
    return result;
}

}  // namespace idlewarden
