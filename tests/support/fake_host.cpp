#include "fake_host.h"

#include <dlfcn.h>

#include <cstring>
#include <stdexcept>

namespace test {

namespace {
Recorder* current = nullptr;

void record(BotEvent& e) {
    if (current == nullptr) return;
    Sent s{};
    s.handle = e.handle;
    s.code = e.code;
    std::memcpy(s.p, e.p, sizeof s.p);
    const char* text = nullptr;
    if (e.code == HostLog) text = reinterpret_cast<const char*>(e.p[0]);
    if (e.code == SendChat) text = reinterpret_cast<const char*>(e.p[3]);
    if (text != nullptr) s.text = text;
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

PlayerRecord* Players::make(uint16_t ident, int32_t access, const std::string& name, uint8_t ship) {
    PlayerRecord& r = records.emplace_back();
    std::memset(&r, 0xA5, sizeof r);  // host bytes the module must not read as ours
    r.ident = ident;
    r.access = access;
    if (name.size() >= sizeof r.name) throw std::invalid_argument("name too long");
    std::memcpy(r.name, name.c_str(), name.size() + 1);
    r.ship = ship;
    return &r;
}

PlayerRecord* Players::join(uint16_t ident, int32_t access, const std::string& name, uint8_t ship) {
    PlayerRecord* player = make(ident, access, name, ship);
    HostPlayerNode& node = nodes.emplace_back(HostPlayerNode{player, nullptr});
    HostPlayerNode** tail = &roster.first;
    while (*tail != nullptr) tail = &(*tail)->next;
    *tail = &node;
    return player;
}

void Players::leave(const PlayerRecord* player) {
    for (HostPlayerNode** link = &roster.first; *link != nullptr; link = &(*link)->next) {
        if ((*link)->item == player) {
            *link = (*link)->next;
            return;
        }
    }
}

Command::Command(std::string commandName, std::string parameter)
    : name(std::move(commandName)), params(std::move(parameter)) {}

CommandRecord* Command::get() {
    std::memset(record.hostOwned, 0xA5, sizeof record.hostOwned);
    record.name = name.c_str();
    record.params = params.c_str();
    return &record;
}

LoadedModule::LoadedModule(const char* path) {
    library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
    talk = reinterpret_cast<void (*)(BotEvent&)>(dlsym(library, "talk"));
    if (talk == nullptr) throw std::runtime_error("module has no talk");
}

LoadedModule::~LoadedModule() {
    if (library != nullptr) dlclose(library);
}

}  // namespace test
