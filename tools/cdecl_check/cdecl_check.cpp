// cdecl_check: proves that a built module's `talk` follows the C calling
// convention of 32-bit x86 (cdecl), in which the caller pops the argument.
//
//   cdecl_check MODULE-FILE
//
// The module is loaded with the host kit's loader, as hostsim loads it, and `talk` is called
// through the found pointer by a hand-written call: the argument is pushed,
// the function called, and the stack pointer read straight after it
// returns. Under cdecl the argument is still on the stack (the stack pointer
// is 4 bytes below where it was before the push); a callee that popped its
// own argument (stdcall) leaves it where it was, and the run fails.
//
// Exit codes: 0 cdecl; 1 not cdecl, or the module did not answer; 3 the
// module could not be loaded.
#include <cstdint>
#include <cstdio>
#include <string>

#include "host/protocol.h"
#include "hostkit/events.h"
#include "hostkit/module_loader.h"

#if !defined(__i386__)
#error "cdecl_check is a check of 32-bit x86 modules"
#endif

namespace {

int answers = 0;

void IDLEWARDEN_CDECL countAnswer(BotEvent&) { ++answers; }

// Calls talk(event) and returns how far the stack pointer went down between
// just before the push and just after the return: 4 under cdecl, 0 when the
// callee popped its argument. The stack is 16-byte aligned at the call, as
// the System V ABI wants, and is restored afterwards whatever the callee did.
uintptr_t measuredCall(hostkit::TalkFunction talk, BotEvent& event) {
    uintptr_t argument = reinterpret_cast<uintptr_t>(&event);
    uintptr_t target = reinterpret_cast<uintptr_t>(talk);
    uintptr_t drop = 0;
    uintptr_t saved = 0;
    __asm__ volatile(
        "movl %%esp, %%edi\n\t"  // the stack pointer to restore
        "andl $-16, %%esp\n\t"
        "subl $12, %%esp\n\t"
        "movl %%esp, %%esi\n\t"  // before the push
        "pushl %%eax\n\t"
        "call *%%ecx\n\t"
        "movl %%esp, %%ecx\n\t"  // after the return
        "movl %%edi, %%esp\n\t"
        "subl %%ecx, %%esi\n\t"
        : "=&S"(drop), "=&D"(saved), "+a"(argument), "+c"(target)
        :
        : "edx", "memory", "cc");
    return drop;
}

bool check(const char* what, hostkit::TalkFunction talk, BotEvent event) {
    const uintptr_t drop = measuredCall(talk, event);
    std::printf("%s: stack pointer %lu bytes lower after the call (cdecl: 4)\n", what,
                static_cast<unsigned long>(drop));
    return drop == 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cdecl_check MODULE-FILE\n");
        return 3;
    }
    hostkit::LoadedModule module;
    std::string error;
    if (!hostkit::loadModule(argv[1], module, error)) {
        std::fprintf(stderr, "cdecl_check: %s\n", error.c_str());
        return 3;
    }
    HostPlayerList roster{nullptr};
    const BotEvent connect = hostkit::connectEvent(1, hostkit::CurrentVersion, &countAnswer, &roster);
    const BotEvent disconnect = hostkit::event(1, Disconnect);
    bool cdecl = check("Connect", module.talk, connect);
    cdecl = check("Disconnect", module.talk, disconnect) && cdecl;
    hostkit::unloadModule(module);
    if (answers == 0) {
        std::fprintf(stderr, "cdecl_check: the module never answered; was talk called at all?\n");
        return 1;
    }
    std::printf("%s\n", cdecl ? "talk is cdecl" : "FAIL: talk is not cdecl");
    return cdecl ? 0 : 1;
}
