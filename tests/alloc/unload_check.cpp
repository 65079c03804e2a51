// The module file through a whole life: dlopen, the full scenario through
// `talk`, dlclose. Run under valgrind (or LeakSanitizer) to show that the
// unloaded module leaves nothing allocated; the program itself checks that
// the scenario answered, that every event was well formed and that nothing
// was sent during the unload.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "scenario.h"

namespace {
void (*talk)(BotEvent&) = nullptr;
void sendToModule(BotEvent& e) { talk(e); }
}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : IDLEWARDEN_MODULE_PATH;
    // In memory when the system has it: the save flushes to the disk.
    char dir[] = "/dev/shm/idlewarden-unload-XXXXXX";
    char fallback[] = "/tmp/idlewarden-unload-XXXXXX";
    const char* made = mkdtemp(dir);
    if (made == nullptr) made = mkdtemp(fallback);
    if (made == nullptr || chdir(made) != 0 || !scenario::writeSettingsFile()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }
    talk = reinterpret_cast<void (*)(BotEvent&)>(dlsym(library, "talk"));
    if (talk == nullptr) {
        std::fprintf(stderr, "the module has no talk\n");
        return 1;
    }
    static scenario::Host host{&sendToModule};
    host.setUp();
    scenario::run(host);
    const uint32_t chats = scenario::recorder.chats;
    const uint32_t events = scenario::recorder.events;
    const bool closed = dlclose(library) == 0;

    std::remove("Idlewarden.ini");
    std::remove("Idlewarden.ini.new");
    rmdir(made);
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
