// String: the module's text value.
//
// An exact-size heap buffer holding the text and one NUL; `length` counts
// the text bytes. No spare capacity: every change allocates the new exact
// size, copies, and releases the old buffer. Copies are deep.
//
// Memory: allocation never throws. A change that cannot get its buffer
// returns false and leaves the String exactly as it was; a String is always
// valid and `c_str` always yields NUL-terminated text (an empty String that
// could not get its one-byte buffer shares a static empty text).
#pragma once

#include <cstdint>

namespace idlewarden {

struct String {
    char* chars;
    uint32_t length;

    String();                           // empty
    explicit String(const char* text);  // a copy of a NUL-terminated text
    explicit String(int32_t value);     // decimal, as numberToText(value, 10, 0, true)
    String(const String& other);
    String& operator=(const String& other);
    ~String();

    // Each returns false, changing nothing, when memory is short.
    bool assign(const char* text, uint32_t n);  // exactly n bytes from `text`
    bool assign(const char* text);
    bool assign(const String& other);
    bool append(const char* text, uint32_t n);  // n bytes, no NUL looked for
    bool append(const char* text);
    bool append(int32_t value);  // decimal text of value
    bool prepend(const char* text, uint32_t n);
    // `n` copies of `c`: a buffer of n bytes that a reader may fill in place
    // through `chars` (the NUL after them stays).
    bool assignRepeated(char c, uint32_t n);
    // Exchanges the texts of two Strings; allocates nothing.
    void swap(String& other);

    const char* c_str() const { return chars; }
    bool isEmpty() const { return chars[0] == '\0'; }
    int32_t toInt() const;  // textToNumber(text, 10)
    bool equalsIgnoreCase(const char* text) const;

   private:
    // Replaces the text with `front` followed by `back` in a new exact-size
    // buffer; false, changing nothing, when it cannot be had.
    bool compose(const char* front, uint32_t frontLength, const char* back, uint32_t backLength);
    void release();
};

// `value` in `base` (2..32) with at least `minDigits` (0..32) digits. With
// `signedMode` a negative value gets a '-' in front of its magnitude;
// without, the 32 bits are written unsigned. 0 is written without a sign.
// On a shortage of memory the result holds what could be built so far;
// `complete` (when given) tells whether the text is whole.
String numberToText(uint32_t value, uint32_t base, uint16_t minDigits, bool signedMode, bool* complete = nullptr);

}  // namespace idlewarden
