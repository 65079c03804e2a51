#include "host/protocol.h"

BotEvent makeLogEvent(const char* text) {
    BotEvent event{};
    event.code = HostLog;
    event.p[0] = reinterpret_cast<uintptr_t>(text);
    return event;
}

BotEvent makeChatEvent(uintptr_t mode, uintptr_t p1, uintptr_t target, const char* text) {
    BotEvent event{};
    event.code = SendChat;
    event.p[0] = mode;
    event.p[1] = p1;
    event.p[2] = target;
    event.p[3] = reinterpret_cast<uintptr_t>(text);
    return event;
}
