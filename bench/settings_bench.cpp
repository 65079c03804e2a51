// What a Connect costs the host when the settings file holds many names,
// through the real module file.
//
// Each iteration loads the module afresh (the host kit's loader: dlopen,
// RTLD_NOW | RTLD_LOCAL),
// then times one Connect of a new bot: the version check, the log line and
// the load of the file, with n exempt names Name1..Namen as a save writes
// them. Loading and unloading the module (which releases the list) run with
// the timer paused. `per_name` is the Connect's time divided by n.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/protocol.h"
#include "hostkit/events.h"
#include "hostkit/module_loader.h"

namespace {

uint64_t sentCount = 0;
void hostCallback(BotEvent& e) {
    ++sentCount;
    benchmark::DoNotOptimize(e.p[0]);
}

hostkit::LoadedModule openModule() {
    hostkit::LoadedModule module;
    std::string error;
    if (!hostkit::loadModule(IDLEWARDEN_MODULE_PATH, module, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::abort();
    }
    return module;
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
    const BotEvent connect = hostkit::connectEvent(1, hostkit::CurrentVersion, &hostCallback, &roster);
    for (auto _ : state) {
        state.PauseTiming();
        hostkit::LoadedModule module = openModule();
        BotEvent e = connect;
        state.ResumeTiming();
        module.talk(e);
        state.PauseTiming();
        hostkit::unloadModule(module);
        state.ResumeTiming();
    }
    state.counters["per_name"] = benchmark::Counter(
        static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ConnectWithNames)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
