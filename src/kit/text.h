// Text routines: how the module compares and reads text.
//
// All take NUL-terminated 8-bit texts, read them only, keep no state and
// allocate nothing. Only the ASCII letters A-Z and a-z have a case; every
// other byte, 0x80 and up included, stands for itself. Texts are equal in
// any sense below only if they have the same length.
#pragma once

#include <cstdint>

struct CommandRecord;

namespace idlewarden {

// Bytes before the first NUL.
uint32_t textLength(const char* text);

// 'A'..'Z' become 'a'..'z'; every other byte is returned unchanged.
char toLowerAscii(char c);

// True when `a` and `b` are equal with ASCII letters compared without case.
bool equalsIgnoreCase(const char* a, const char* b);

// True for an optional '-' followed by one or more digits and nothing else.
bool isNumeric(const char* text);

// The value of `text` in `base`, wrapping modulo 2^32. One leading '-' is
// honoured; no byte is refused, so callers test with isNumeric first.
int32_t textToNumber(const char* text, uint32_t base);

// True when the command's word equals `literal` exactly (case matters).
bool isCommand(const CommandRecord& command, const char* literal);

// True when the command's parameter text, lowered, equals `literal`
// (which must be all small letters).
bool isTopic(const CommandRecord& command, const char* literal);

}  // namespace idlewarden
