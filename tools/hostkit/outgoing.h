// What the module hands to the host's callback, read as the host reads it.
// Neither operation can fail or allocate.
#pragma once

#include "host/protocol.h"

namespace hostkit {

// The text of an outgoing event: p[0] of HostLog, p[3] of SendChat; null
// for any other code or when the word is zero.
const char* outgoingText(const BotEvent& e);

// Null when `e` is well formed (HostLog: a text and every other word zero;
// SendChat: private, a text, words 1, 4 and 5 zero; no other code), or else
// what is wrong with it.
const char* outgoingProblem(const BotEvent& e);

}  // namespace hostkit
