// A faulty module for the host's strict records: it keeps the player of
// every PlayerArrived and reads that record again on each Tick, even after
// the host has released it (PlayerLeft, or a RosterReset that dropped the
// player). A host with strict records must report the touch, not crash.
#include "host/protocol.h"

#if defined(_WIN32)
#include <windows.h>
#define EXPORT extern "C" __declspec(dllexport)
#else
#define EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
const PlayerRecord* kept = nullptr;
volatile unsigned sink = 0;
}  // namespace

EXPORT void talk(BotEvent& event) {
    if (event.code == PlayerArrived) kept = reinterpret_cast<const PlayerRecord*>(event.p[0]);
    if (event.code == Tick && kept != nullptr) sink = sink + kept->ship;
#if defined(_WIN32)
    // A module reads the host's clock; hostsim loads only modules that do.
    if (event.code == Tick) sink = sink + static_cast<unsigned>(GetTickCount() & 1);
#endif
}
