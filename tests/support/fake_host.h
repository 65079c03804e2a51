// The GoogleTest side of the host kit: a recorder of everything the module
// sends, command records that own their texts, and the built module file
// loaded for the length of a test. Records, roster and events are the kit's
// (tools/hostkit).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/protocol.h"
#include "hostkit/events.h"
#include "hostkit/host_records.h"
#include "hostkit/module_loader.h"

namespace test {

using hostkit::connectEvent;
using hostkit::event;
using hostkit::version;
using hostkit::word;
// Host-owned player records with stable addresses, and their roster.
using Players = hostkit::Roster;

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

// The three messages of one spectated player, as Recorder::takeLines shows them.
std::vector<std::string> spectated(uint16_t ident, uint16_t minutes);

// A command record with its own copies of the texts.
struct Command {
    std::string name;
    std::string params;
    CommandRecord record{};

    Command(std::string commandName, std::string parameter);
    Command(const Command&) = delete;
    CommandRecord* get();
};

// The built module file, loaded as a host loads it; throws when it cannot be.
struct LoadedModule {
    hostkit::LoadedModule file;

    explicit LoadedModule(const char* path = IDLEWARDEN_MODULE_PATH);
    ~LoadedModule();  // unloaded: the module's teardown runs
    LoadedModule(const LoadedModule&) = delete;

    void send(BotEvent e) const { file.send(e); }
};

}  // namespace test
