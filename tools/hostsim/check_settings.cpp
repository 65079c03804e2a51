#include "check_settings.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "host/protocol.h"
#include "hostkit/events.h"
#include "hostkit/host_records.h"
#include "hostkit/module_loader.h"
#include "settings/settings_check.h"

namespace fs = std::filesystem;

namespace hostsim {

namespace {

using hostkit::LoadedModule;
using hostkit::loadModule;
using hostkit::TalkFunction;
using hostkit::unloadModule;
using idlewarden::platform::ReadStatus;

const char* readFailure(ReadStatus status) {
    switch (status) {
        case ReadStatus::Missing: return "no such file";
        case ReadStatus::NotAFile: return "it is a directory or a device, not a file";
        case ReadStatus::TooLarge: return "it is larger than 16 MiB, and the module reads no file of that size";
        case ReadStatus::NoMemory: return "out of memory";
        case ReadStatus::Failed:
        case ReadStatus::Ok: break;
    }
    return "the system refused to read it";
}

// The private messages that the module sent during one call of `talk`.
std::vector<std::string> replies;

void hostCallback(BotEvent& event) {
    if (event.code == SendChat && event.p[3] != 0) replies.emplace_back(reinterpret_cast<const char*>(event.p[3]));
}

// A level-12 operator and the one bot, driven through `talk`.
struct Session {
    TalkFunction talk;
    PlayerRecord op{};
    HostPlayerNode node{};
    HostPlayerList roster{};

    explicit Session(TalkFunction entry) : talk(entry) {
        hostkit::fillRecord(op, 1, 12, "Checker", SpectatorShip);
        node.item = &op;
        roster.first = &node;
    }

    // Connect, then the RosterReset that a host sends when the bot enters
    // its arena: what that event changes (a file that switches checking on
    // without a limit) is part of what the bot holds.
    void connect() {
        BotEvent e = hostkit::connectEvent(1, hostkit::CurrentVersion, &hostCallback, &roster);
        talk(e);
        BotEvent reset = hostkit::event(1, RosterReset);
        talk(reset);
    }

    std::vector<std::string> command(const char* name) {
        CommandRecord record = hostkit::commandRecord(name, "");
        BotEvent e = hostkit::event(1, CommandIssued, hostkit::word(&op), hostkit::word(&record));
        replies.clear();
        talk(e);
        return std::move(replies);
    }
};

struct BotState {
    std::string checking, limit;
    std::vector<std::string> names;
};

bool startsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

// What the bot answers to afkstatus, afktime and listexempt; false when an
// answer is not one that the module gives.
bool askState(Session& session, BotState& state) {
    const std::vector<std::string> status = session.command("afkstatus");
    if (status.size() != 1) return false;
    if (status[0] == "AFK Checking Status: ON") {
        state.checking = "on";
    } else if (status[0] == "AFK Checking Status: OFF") {
        state.checking = "off";
    } else {
        return false;
    }

    const std::vector<std::string> limit = session.command("afktime");
    const std::string head = "AFK Time Limit: ", tail = " Mins";
    if (limit.size() != 1 || !startsWith(limit[0], head)) return false;
    std::string value = limit[0].substr(head.size());
    if (value == "Not Yet Set") {
        state.limit = "not set";
    } else if (value.size() > tail.size() && value.compare(value.size() - tail.size(), tail.size(), tail) == 0) {
        value.resize(value.size() - tail.size());
        state.limit = value + (value == "1" ? " minute" : " minutes");
    } else {
        return false;
    }

    // The listing: three header lines, "| Player: NAME" padded to 30 and a
    // bar for each name, a closing frame line. The padding cannot be told
    // from blanks at the end of a name, so those do not show.
    const std::vector<std::string> list = session.command("listexempt");
    if (list.size() == 1 && list[0] == "No players are currently exempt from the AFK List") return true;
    const std::string player = "| Player: ";
    if (list.size() < 4) return false;
    for (size_t i = 3; i + 1 < list.size(); ++i) {
        const std::string& line = list[i];
        if (!startsWith(line, player) || line.back() != '|') return false;
        std::string name = line.substr(player.size(), line.size() - player.size() - 1);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        state.names.push_back(name);
    }
    return true;
}

// A fresh directory under the system's temporary one.
bool makeScratchDirectory(fs::path& dir) {
    std::random_device device;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) return false;
    for (int attempt = 0; attempt < 16; ++attempt) {
        dir = base / ("hostsim-check-" + std::to_string(device()) + std::to_string(device()));
        if (fs::create_directory(dir, ec)) return true;
    }
    dir.clear();  // not ours to remove
    return false;
}

struct Collected {
    std::vector<std::pair<uint32_t, std::string>> warnings;
};

void collect(void* context, uint32_t line, const char* text) {
    static_cast<Collected*>(context)->warnings.emplace_back(line, text);
}

}  // namespace

int checkSettings(const std::string& file, const std::string& modulePath) {
    // The warnings first: a file that cannot be read is not worth a module.
    Collected collected;
    int32_t count = 0;
    const ReadStatus status = idlewarden::checkSettingsFile(file.c_str(), &collect, &collected, count);
    if (status != ReadStatus::Ok) {
        std::cerr << "hostsim: error: cannot read settings file " << file << ": " << readFailure(status) << "\n";
        return 2;
    }
    if (count < 0) {
        std::cerr << "hostsim: error: out of memory while checking " << file << "\n";
        return 2;
    }

    LoadedModule module;
    std::string loadError;
    if (!loadModule(modulePath, module, loadError)) {
        std::cerr << "hostsim: error: " << loadError << "\n";
        return 3;
    }
    std::error_code ec;
    const fs::path startDir = fs::current_path(ec);
    fs::path scratch;
    bool ready = makeScratchDirectory(scratch) && fs::copy_file(file, scratch / "Idlewarden.ini", ec);
    if (ready) {
        fs::current_path(scratch, ec);
        ready = !ec;
    }
    if (!ready) {
        std::cerr << "hostsim: error: cannot set up a scratch directory for the check\n";
        unloadModule(module);
        if (!scratch.empty()) fs::remove_all(scratch, ec);
        return 2;
    }
    BotState state;
    bool answered = false;
    {
        Session session(module.talk);
        session.connect();
        answered = askState(session, state);
    }
    unloadModule(module);
    fs::current_path(startDir, ec);
    fs::remove_all(scratch, ec);
    if (!answered) {
        std::cerr << "hostsim: error: the module did not answer afkstatus, afktime and listexempt as expected\n";
        return 3;
    }

    std::cout << file << " as the module reads it (a bot connected with version 6.6):\n"
              << "  checking: " << state.checking << "\n"
              << "  time limit: " << state.limit << "\n"
              << "  exempt names: " << state.names.size() << "\n";
    for (const std::string& name : state.names) std::cout << "    " << name << "\n";
    for (const auto& [line, text] : collected.warnings)
        std::cout << file << ":" << line << ": warning: " << text << "\n";
    if (collected.warnings.empty()) {
        std::cout << "no warnings: the module reads every line as written\n";
        return 0;
    }
    std::cout << collected.warnings.size() << (collected.warnings.size() == 1 ? " warning\n" : " warnings\n");
    return 1;
}

}  // namespace hostsim
