// The module file through a whole life: dlopen, the full scenario through
// `talk`, dlclose. Run under valgrind (or LeakSanitizer) to show that the
// unloaded module leaves nothing allocated; the program itself checks that
// the scenario answered, that every event was well formed and that nothing
// was sent during the unload.
#include <cstdio>
#include <string>

#include "hostkit/module_loader.h"
#include "hostkit/scratch_dir.h"
#include "scenario.h"

namespace {
hostkit::LoadedModule module;
void sendToModule(BotEvent& e) { module.talk(e); }
}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : IDLEWARDEN_MODULE_PATH;
    // In memory when the system has it: the save flushes to the disk.
    hostkit::ScratchDir dir;
    if (!dir.enter("idlewarden-unload") || !scenario::writeSettingsFile()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    std::string error;
    if (!hostkit::loadModule(path, module, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    static scenario::Host host{&sendToModule};
    host.setUp();
    scenario::run(host);
    const uint32_t chats = scenario::recorder.chats;
    const uint32_t events = scenario::recorder.events;
    const bool closed = hostkit::unloadModule(module);
    dir.leave();
    int failed = 0;
    auto expect = [&failed](bool ok, const char* what) {
        if (!ok) {
            std::fprintf(stderr, "FAIL: %s\n", what);
            ++failed;
        }
    };
    expect(closed, "dlclose");
    expect(chats > 40, "the scenario answered");
    expect(scenario::recorder.problem == nullptr, "every event well formed");
    expect(scenario::recorder.events == events, "nothing sent during unload");
    std::printf("unload: %u events sent\n", events);
    std::printf("unload: %d passed, %d failed\n", 4 - failed, failed);
    return failed == 0 ? 0 : 1;
}
