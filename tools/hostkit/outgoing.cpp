#include "outgoing.h"

namespace hostkit {

const char* outgoingText(const BotEvent& e) {
    if (e.code == HostLog) return reinterpret_cast<const char*>(e.p[0]);
    if (e.code == SendChat) return reinterpret_cast<const char*>(e.p[3]);
    return nullptr;
}

const char* outgoingProblem(const BotEvent& e) {
    if (e.code == HostLog) {
        for (int i = 1; i < 6; ++i) {
            if (e.p[i] != 0) return "log event with a parameter set";
        }
    } else if (e.code == SendChat) {
        if (e.p[0] != PrivateChat || e.p[1] != 0 || e.p[4] != 0 || e.p[5] != 0) return "chat words";
    } else {
        return "unknown outgoing code";
    }
    return outgoingText(e) == nullptr ? "event without text" : nullptr;
}

}  // namespace hostkit
