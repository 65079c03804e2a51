// Fixtures for the idle monitor's tests: a connected module on the virtual
// clock (driven through `talk`), and a bare BotInstance for the cases where
// the table itself is the thing to look at. Each test runs in its own empty
// scratch directory, so no settings file is loaded at Connect.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "fake_host.h"
#include "host/bot_instance.h"
#include "hostkit/virtual_clock.h"
#include "scratch_dir.h"

namespace test {

inline std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

constexpr uint64_t StartMs = 1'000'000;  // virtual time at the start of each test
constexpr uint64_t Minute = 60'000;

// One bot (handle 1) of the loaded module, connected as host 6.6, with an
// operator of level 4 who sits in spectator mode and so is never watched.
struct MonitorTest : ::testing::Test {
    static constexpr uintptr_t Handle = 1;

    ScratchDir scratch;  // first in, last out: no settings file at Connect
    LoadedModule module;
    Recorder host;
    Players players;
    PlayerRecord* op = nullptr;

    void SetUp() override {
        virtual_clock::enable(StartMs);
        op = players.join(1, 4, "Op", SpectatorShip);
        connect(Recorder::callback());
        ASSERT_EQ(host.takeLines(), std::vector<std::string>{"log: DLL plugin connected."});
    }
    void TearDown() override { virtual_clock::disable(); }

    void connect(HostCallback cb) { module.send(connectEvent(Handle, version(6, 6), cb, &players.list)); }
    void send(uint32_t code, const PlayerRecord* player = nullptr, uintptr_t p1 = 0) {
        module.send(event(Handle, code, word(player), p1));
    }
    // The operator's command; returns every line sent since the last take.
    std::vector<std::string> say(const std::string& name, const std::string& parameter = "") {
        Command c(name, parameter);
        send(CommandIssued, op, word(c.get()));
        return host.takeLines();
    }
    void switchOn(uint16_t minutes) {
        const std::string to = std::to_string(op->ident) + ": ";
        ASSERT_EQ(say("afktime", std::to_string(minutes)),
                  std::vector<std::string>{to + "AFK Time Limit Changed to " + std::to_string(minutes) + " Mins"});
        ASSERT_EQ(say("afkstatus", "on"), std::vector<std::string>{to + "AFK Checking Turned ON Successfully"});
    }
    void switchOff() {
        ASSERT_EQ(say("afkstatus", "off"),
                  std::vector<std::string>{std::to_string(op->ident) + ": AFK Checking Turned OFF Successfully"});
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) send(Tick);
    }
    // Sixty ticks at one clock reading: a sweep comes among any 60 counted
    // ticks. Returns what was sent.
    std::vector<std::string> sweep() {
        ticks(60);
        return host.takeLines();
    }
};

// A BotInstance linked in directly, on the virtual clock, answering into a
// Recorder, with the test's roster.
struct BareBotTest : ::testing::Test {
    ScratchDir scratch;
    Recorder host;
    Players players;
    idlewarden::BotInstance bot{1};

    void SetUp() override {
        virtual_clock::enable(StartMs);
        bot.callback = Recorder::callback();
        bot.roster = &players.list;
    }
    void TearDown() override { virtual_clock::disable(); }

    // The watched records in table order, with their times.
    std::vector<std::pair<const PlayerRecord*, uint32_t>> entries() const {
        std::vector<std::pair<const PlayerRecord*, uint32_t>> out;
        for (auto* node = bot.watchTable.firstNode; node != nullptr; node = node->nextNode) {
            out.emplace_back(node->item->player, node->item->lastActive);
        }
        return out;
    }
};

}  // namespace test
