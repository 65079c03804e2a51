// The floor of the benchmarks: a loadable module whose entry only reads the
// event, reached through the same kind of pointer as the real `talk`.
#include "host/protocol.h"

namespace {
volatile uint32_t lastCode = 0;
}

extern "C" __attribute__((visibility("default"))) void talk(BotEvent& event) noexcept { lastCode = event.code; }
