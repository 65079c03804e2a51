// The module file as a host sees it: handshake, versions, silences, codes.
#include <gtest/gtest.h>

#include "fake_host.h"
#include "scratch_dir.h"

using test::connectEvent;
using test::event;
using test::version;
using test::word;

namespace {

const char* const Connected = "DLL plugin connected.";
const char* const Disconnected = "DLL plugin disconnected.";
const char* const OutOfDate = "DLL plugin cannot connect.  This plugin is out of date.";
const char* const TooOld = "DLL plugin cannot connect.  This plugin requires the latest version of Quorvane.";

// Every test runs in an empty directory of its own: a settings file that
// happens to lie in the directory the tests start from is never loaded.
struct ModuleTest : ::testing::Test {
    test::ScratchDir scratch;  // first in, last out
    test::LoadedModule module;
    test::Recorder host;
    test::Players players;

    void connect(uintptr_t handle, uint32_t versionWord, HostCallback cb = test::Recorder::callback()) {
        module.send(connectEvent(handle, versionWord, cb, &players.list));
    }
    void command(uintptr_t handle, PlayerRecord* player, test::Command& c) {
        module.send(event(handle, CommandIssued, word(player), word(c.get())));
    }
};

struct VersionCase {
    uint16_t major, minor;
    const char* log;
    bool accepted;
};

TEST_F(ModuleTest, VersionTableDecidesTheHandshake) {
    const VersionCase cases[] = {
        {6, 6, Connected, true},
        {6, 65535, Connected, true},
        {6, 5, TooOld, false},
        {5, 9, TooOld, false},
        {0, 0, TooOld, false},
        {7, 0, OutOfDate, false},
        {65535, 65535, OutOfDate, false},
    };
    uintptr_t handle = 100;
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        ++handle;
        connect(handle, version(c.major, c.minor));
        auto sent = host.take();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].handle, handle);
        EXPECT_EQ(sent[0].code, uint32_t{HostLog});
        EXPECT_EQ(sent[0].text, c.log);
        for (int i = 1; i < 6; ++i) EXPECT_EQ(sent[0].p[i], 0u);
        // A refused bot stays silent for good, a new Connect included.
        module.send(event(handle, Disconnect));
        connect(handle, version(6, 6));
        if (c.accepted) {
            EXPECT_EQ(host.takeLines(), (std::vector<std::string>{std::string("log: ") + Disconnected,
                                                                  std::string("log: ") + Connected}));
        } else {
            EXPECT_TRUE(host.take().empty());
        }
    }
}

TEST_F(ModuleTest, VersionBitsAboveThirtyOneAreNotRead) {
    // A 4-byte word has no bits above 31; the branch is not even compiled there.
    if constexpr (sizeof(uintptr_t) < 8) {
        GTEST_SKIP();
    } else {
        connect(1, static_cast<uint32_t>(version(6, 6)));
        BotEvent e = event(2, Connect, (uintptr_t{7} << 32) | version(6, 6),
                           word(reinterpret_cast<void*>(test::Recorder::callback())));
        module.send(e);
        auto lines = host.takeLines();
        EXPECT_EQ(lines,
                  (std::vector<std::string>{std::string("log: ") + Connected, std::string("log: ") + Connected}));
    }
}

TEST_F(ModuleTest, IgnoredCodesAnswerNothingAndChangeNothing) {
    connect(1, version(6, 6));
    host.take();
    auto* op = players.join(3, 4, "Op");
    test::Command status("afkstatus", "");
    for (uint32_t code : {4u, 5u, 22u, 23u, 40u, 41u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(code);
        // A code above 40 is dropped unread, even with a Connect-like payload.
        module.send(event(1, code, version(7, 0), word(reinterpret_cast<void*>(test::Recorder::callback()))));
        EXPECT_TRUE(host.take().empty());
    }
    // Still connected with the first callback, and still answering.
    command(1, op, status);
    EXPECT_EQ(host.takeLines(), std::vector<std::string>{"3: AFK Checking Status: OFF"});
}

TEST_F(ModuleTest, NullCallbackAndHandleZeroSendNothingButStillAct) {
    connect(5, version(6, 6), nullptr);
    EXPECT_TRUE(host.take().empty());
    connect(0, version(6, 6));
    auto* op = players.join(9, 4, "Op");
    test::Command setTime("afktime", "5");
    command(0, op, setTime);
    EXPECT_TRUE(host.take().empty());
    // The handle-0 bot changed its state all the same; a callback under
    // another handle proves the two bots are separate.
    connect(6, version(6, 6));
    test::Command show("afktime", "");
    command(6, op, show);
    EXPECT_EQ(host.takeLines(),
              (std::vector<std::string>{"log: DLL plugin connected.", "9: AFK Time Limit: Not Yet Set"}));
}

TEST_F(ModuleTest, AnswersCarryTheBotsHandleAndAWideIdent) {
    const uintptr_t handle = sizeof(uintptr_t) == 8 ? (uintptr_t{1} << 40) | 7 : 7;
    connect(handle, version(6, 6));
    auto* op = players.join(65535, 1, "Wide");
    test::Command about("about", "");
    command(handle, op, about);
    auto sent = host.take();
    ASSERT_EQ(sent.size(), 2u);
    const test::Sent& chat = sent[1];
    EXPECT_EQ(chat.handle, handle);
    EXPECT_EQ(chat.code, uint32_t{SendChat});
    EXPECT_EQ(chat.p[0], PrivateChat);
    EXPECT_EQ(chat.p[1], 0u);
    EXPECT_EQ(chat.p[2], 65535u);
    EXPECT_EQ(chat.p[4], 0u);
    EXPECT_EQ(chat.p[5], 0u);
    EXPECT_EQ(chat.text, "Dozeguard v1 by Pellucan(pellucan@idlewarden.example)");
}

TEST_F(ModuleTest, DisconnectKeepsTheInstance) {
    connect(1, version(6, 6));
    auto* op = players.join(2, 4, "Op");
    test::Command add("addexempt", "Bob");
    command(1, op, add);
    module.send(event(1, Disconnect));
    connect(1, version(6, 6));
    test::Command list("listexempt", "");
    command(1, op, list);
    auto lines = host.takeLines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1], "2: Bob Added Successfully!");
    EXPECT_EQ(lines[2], "log: DLL plugin disconnected.");
    EXPECT_EQ(lines[3], "log: DLL plugin connected.");
    EXPECT_EQ(lines[7], "2: | Player: Bob                 |");
}

TEST(ModuleLifetime, UnloadReleasesEverythingAndAReloadStartsEmpty) {
    test::ScratchDir scratch;
    test::Recorder host;
    test::Players players;
    auto* op = players.join(2, 4, "Op");
    players.join(3, 0, "Pilot");
    {
        test::LoadedModule module;
        module.send(connectEvent(1, version(6, 6), test::Recorder::callback(), &players.list));
        test::Command time("afktime", "5"), on("afkstatus", "on"), add("addexempt", "Zed");
        module.send(event(1, CommandIssued, word(op), word(time.get())));
        module.send(event(1, CommandIssued, word(op), word(on.get())));
        module.send(event(1, CommandIssued, word(op), word(add.get())));
        host.take();
    }  // unloaded with a watched player and an exempt name: nothing is sent
    EXPECT_TRUE(host.take().empty());
    test::LoadedModule again;
    again.send(connectEvent(1, version(6, 6), test::Recorder::callback(), &players.list));
    test::Command show("afktime", "");
    again.send(event(1, CommandIssued, word(op), word(show.get())));
    EXPECT_EQ(host.takeLines(),
              (std::vector<std::string>{"log: DLL plugin connected.", "2: AFK Time Limit: Not Yet Set"}));
}

}  // namespace
