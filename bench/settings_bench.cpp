// What a Connect costs the host when the settings file holds many names,
// through the real module file.
//
// Each iteration loads the module afresh (dlopen, RTLD_NOW | RTLD_LOCAL),
// then times one Connect of a new bot: the version check, the log line and
// the load of the file, with n exempt names Name1..Namen as a save writes
// them. Loading and unloading the module (which releases the list) run with
// the timer paused. `per_name` is the Connect's time divided by n.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/protocol.h"
#include "host_events.h"

namespace {

uint64_t sentCount = 0;
void hostCallback(BotEvent& e) {
    ++sentCount;
    benchmark::DoNotOptimize(e.p[0]);
}

using Talk = void (*)(BotEvent&);

void* openModule(Talk& talk) {
    void* library = dlopen(IDLEWARDEN_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "dlopen %s: %s\n", IDLEWARDEN_MODULE_PATH, dlerror());
        std::abort();
    }
    talk = reinterpret_cast<Talk>(dlsym(library, "talk"));
    if (talk == nullptr) std::abort();
    return library;
}

// The settings file as a save writes it, with `n` distinct names.
bool writeSettings(int64_t n) {
    std::string text = "[Settings]\nEnabled=1\nAfkTime=10\n[Exemptions]\n";
    for (int64_t k = 1; k <= n; ++k) text += "Name" + std::to_string(k) + "=Player" + std::to_string(k) + "\n";
    std::FILE* file = std::fopen("Idlewarden.ini", "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

void BM_ConnectWithNames(benchmark::State& state) {
    const int64_t n = state.range(0);
    if (!writeSettings(n)) {
        state.SkipWithError("cannot write the settings file");
        return;
    }
    HostPlayerList roster{nullptr};
    const BotEvent connect = test::event(1, Connect, test::version(6, 6),
                                         test::word(reinterpret_cast<void*>(&hostCallback)), test::word(&roster));
    for (auto _ : state) {
        state.PauseTiming();
        Talk talk = nullptr;
        void* library = openModule(talk);
        BotEvent e = connect;
        state.ResumeTiming();
        talk(e);
        state.PauseTiming();
        dlclose(library);
        state.ResumeTiming();
    }
    state.counters["per_name"] = benchmark::Counter(
        static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ConnectWithNames)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The module reads its settings file in the current directory.
    char dir[] = "/tmp/idlewarden-settings-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0) return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove("Idlewarden.ini");
    rmdir(dir);
    return 0;
}
