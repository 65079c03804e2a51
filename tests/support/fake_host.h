// A test host: players, a roster and command records laid out as the host
// lays them out, a recorder of everything the module sends, and a loader
// that drives the built module file through `talk` exactly as a host does.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "host/protocol.h"
#include "host_events.h"

namespace test {

// One event that the module handed to the host's callback, with the text
// that its pointer word carried at the time of the call.
struct Sent {
    uintptr_t handle;
    uint32_t code;
    uintptr_t p[6];
    std::string text;  // p[0] of HostLog, p[3] of SendChat

    bool isLog() const { return code == HostLog; }
    bool isChat() const { return code == SendChat; }
};

// Records every callback event in order. One recorder is current at a time
// (the callback has no context word); `callback()` is the function to hand
// to the module.
struct Recorder {
    std::vector<Sent> events;

    Recorder();
    ~Recorder();
    static HostCallback callback();

    // The events since the last take, and forget them.
    std::vector<Sent> take();
    // Texts only: "log: ..." or "<ident>: ..." per event.
    std::vector<std::string> takeLines();
};

// Host-owned records with stable addresses for the whole test.
struct Players {
    std::deque<PlayerRecord> records;
    std::deque<HostPlayerNode> nodes;
    HostPlayerList roster{nullptr};

    // A player record (not on the roster).
    PlayerRecord* make(uint16_t ident, int32_t access, const std::string& name, uint8_t ship = 1);
    // A player record that is also appended to the roster.
    PlayerRecord* join(uint16_t ident, int32_t access, const std::string& name, uint8_t ship = 1);
    // Takes `player` off the roster (the record stays valid for the test).
    void leave(const PlayerRecord* player);
};

// A command record with its own copies of the texts.
struct Command {
    std::string name;
    std::string params;
    CommandRecord record{};

    Command(std::string commandName, std::string parameter);
    Command(const Command&) = delete;
    CommandRecord* get();
};

// The built module file, loaded with dlopen as a host loads it.
struct LoadedModule {
    void* library = nullptr;
    void (*talk)(BotEvent&) = nullptr;

    explicit LoadedModule(const char* path = IDLEWARDEN_MODULE_PATH);
    ~LoadedModule();  // dlclose: the module's teardown runs
    LoadedModule(const LoadedModule&) = delete;

    void send(BotEvent e) const { talk(e); }
};

}  // namespace test
