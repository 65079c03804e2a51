// The main of every benchmark program: the module reads and writes its
// settings file in the current directory, so each run works in a scratch
// directory of its own.
#include <benchmark/benchmark.h>

#include "hostkit/scratch_dir.h"

int main(int argc, char** argv) {
    hostkit::ScratchDir dir;
    if (!dir.enter("idlewarden-bench")) return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    dir.leave();
    return 0;
}
