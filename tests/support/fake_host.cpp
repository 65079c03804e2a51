#include "fake_host.h"

#include <cstring>
#include <stdexcept>

#include "hostkit/outgoing.h"

namespace test {

namespace {
Recorder* current = nullptr;

void record(BotEvent& e) {
    if (current == nullptr) return;
    Sent s{};
    s.handle = e.handle;
    s.code = e.code;
    std::memcpy(s.p, e.p, sizeof s.p);
    if (const char* text = hostkit::outgoingText(e)) s.text = text;
    current->events.push_back(s);
}
}  // namespace

Recorder::Recorder() { current = this; }
Recorder::~Recorder() {
    if (current == this) current = nullptr;
}
HostCallback Recorder::callback() { return &record; }

std::vector<Sent> Recorder::take() {
    std::vector<Sent> out;
    out.swap(events);
    return out;
}

std::vector<std::string> Recorder::takeLines() {
    std::vector<std::string> lines;
    for (const Sent& s : take()) {
        if (s.isLog()) {
            lines.push_back("log: " + s.text);
        } else {
            lines.push_back(std::to_string(s.p[2]) + ": " + s.text);
        }
    }
    return lines;
}

std::vector<std::string> spectated(uint16_t ident, uint16_t minutes) {
    const std::string to = std::to_string(ident) + ": ";
    return {to + "*spec", to + "*spec",
            to + "You have been spectated becuase you have not fired a weapon for the past " + std::to_string(minutes) +
                " mins and are believed to be away from your keyboard!"};
}

Command::Command(std::string commandName, std::string parameter)
    : name(std::move(commandName)), params(std::move(parameter)) {}

CommandRecord* Command::get() {
    record = hostkit::commandRecord(name.c_str(), params.c_str());
    return &record;
}

LoadedModule::LoadedModule(const char* path) {
    std::string error;
    if (!hostkit::loadModule(path, file, error)) throw std::runtime_error(error);
}

LoadedModule::~LoadedModule() { hostkit::unloadModule(file); }

}  // namespace test
