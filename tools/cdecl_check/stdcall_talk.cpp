// A module whose `talk` pops its own argument (stdcall), so that the check
// is seen to fail where it must. It answers a Connect like the real module.
#include "host/protocol.h"

extern "C" __attribute__((visibility("default"), stdcall)) void talk(BotEvent& event) {
    if (event.code != Connect || event.p[1] == 0) return;
    BotEvent answer{event.handle, HostLog, {reinterpret_cast<uintptr_t>("connected"), 0, 0, 0, 0, 0}};
    reinterpret_cast<HostCallback>(event.p[1])(answer);
}
