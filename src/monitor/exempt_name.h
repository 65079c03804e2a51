// One name on the exemption list: a fixed 20-byte record holding at most 19
// bytes of text, a NUL, and zero bytes to the end.
#pragma once

#include <cstdint>

#include "kit/linked_list.h"

namespace idlewarden {

struct ExemptName {
    static constexpr uint32_t Size = 20;
    static constexpr uint32_t MaxLength = Size - 1;

    char text[Size];

    // Allocates a record holding the first 19 bytes of `name` at most; null
    // when memory is short.
    static ExemptName* make(const char* name);
};

static_assert(sizeof(ExemptName) == ExemptName::Size);

using ExemptList = LinkedList<ExemptName>;

}  // namespace idlewarden
