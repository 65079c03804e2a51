// A whole session through the module file, as a host drives it: connect
// with a settings file present, roster, commands, idle sweeps on the virtual
// clock, a save, and a reconnect that reads the saved file.
#include <gtest/gtest.h>

#include <string>

#include "fake_host.h"
#include "hostkit/virtual_clock.h"
#include "scratch_dir.h"

using test::connectEvent;
using test::event;
using test::version;
using test::word;
using Lines = std::vector<std::string>;

namespace {

struct Session {
    test::LoadedModule module;
    test::Recorder host;
    test::Players players;

    void connect(uintptr_t handle) {
        module.send(connectEvent(handle, version(6, 6), test::Recorder::callback(), &players.list));
    }
    Lines command(uintptr_t handle, PlayerRecord* player, const char* name, const char* params) {
        test::Command c(name, params);
        module.send(event(handle, CommandIssued, word(player), word(c.get())));
        return host.takeLines();
    }
    Lines help(uintptr_t handle, PlayerRecord* player, const char* topic) {
        test::Command c("help", topic);
        module.send(event(handle, HelpRequested, word(player), word(c.get())));
        return host.takeLines();
    }
    Lines tick(uintptr_t handle) {
        module.send(event(handle, Tick));
        return host.takeLines();
    }
};

TEST(Session, ConnectLoadCommandSweepSaveReconnect) {
    test::ScratchDir dir;
    virtual_clock::Scope clock(10'000'000);
    test::ScratchDir::write("Idlewarden.ini",
                            "[Settings]\r\nEnabled=1\r\nAfkTime=5\r\n\r\n[Exemptions]\r\nName1=Keeper\r\n");

    Session s;
    PlayerRecord* op = s.players.join(50, 4, "Op", SpectatorShip);
    PlayerRecord* pilot = s.players.join(1, 0, "Pilot", 1);
    PlayerRecord* idler = s.players.join(2, 0, "Idler", 2);
    s.players.join(3, 0, "keeper", 3);

    s.connect(7);
    EXPECT_EQ(s.host.takeLines(), Lines{"log: DLL plugin connected."});
    s.module.send(event(7, RosterReset));
    EXPECT_EQ(s.command(7, op, "afkstatus", ""), Lines{"50: AFK Checking Status: ON"});
    EXPECT_EQ(s.command(7, op, "afktime", ""), Lines{"50: AFK Time Limit: 5 Mins"});
    EXPECT_EQ(s.command(7, op, "listexempt", "").at(3), "50: | Player: Keeper              |");
    EXPECT_EQ(s.help(7, op, "").size(), 5u);
    EXPECT_EQ(s.help(7, op, "AfkTime"),
              Lines{"50: Command !afktime #: Change the time limit that a player has before they are considered AFK"});

    // The first sweep comes on the 16th tick. By then Idler has been idle
    // for 5 minutes, Pilot fired a minute ago, and keeper is exempt.
    for (int i = 1; i < 16; ++i) EXPECT_EQ(s.tick(7), Lines{}) << "tick " << i;
    virtual_clock::advance(4 * 60'000);
    s.module.send(event(7, WeaponFired, word(pilot)));
    virtual_clock::advance(60'000);
    EXPECT_EQ(s.tick(7), test::spectated(2, 5));
    s.module.send(event(7, PlayerSpectated, word(idler)));
    idler->ship = SpectatorShip;

    // Idler comes back; four minutes on, only Pilot has reached the limit.
    virtual_clock::advance(4 * 60'000);
    idler->ship = 2;
    s.module.send(event(7, ShipChanged, word(idler), SpectatorShip));
    for (int i = 17; i < 76; ++i) EXPECT_EQ(s.tick(7), Lines{}) << "tick " << i;
    EXPECT_EQ(s.tick(7), test::spectated(1, 5));

    // Change the settings and save them.
    EXPECT_EQ(s.command(7, op, "addexempt", "Newbie"), Lines{"50: Newbie Added Successfully!"});
    EXPECT_EQ(s.command(7, op, "afktime", "7"), Lines{"50: AFK Time Limit Changed to 7 Mins"});
    EXPECT_EQ(s.command(7, op, "afksavesetts", ""), Lines{"50: Idlewarden: Save Complete"});
    EXPECT_EQ(test::ScratchDir::read("Idlewarden.ini"),
              "[Settings]\nEnabled=1\nAfkTime=7\n[Exemptions]\nName1=Keeper\nName2=Newbie\n");

    // A reconnect reads the file again without doubling the list.
    s.module.send(event(7, Disconnect));
    s.connect(7);
    EXPECT_EQ(s.host.takeLines(), (Lines{"log: DLL plugin disconnected.", "log: DLL plugin connected."}));
    const Lines list = s.command(7, op, "listexempt", "");
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list[3], "50: | Player: Keeper              |");
    EXPECT_EQ(list[4], "50: | Player: Newbie              |");

    // Another bot of the same host starts from the saved file.
    s.connect(8);
    s.host.take();
    EXPECT_EQ(s.command(8, op, "afktime", ""), Lines{"50: AFK Time Limit: 7 Mins"});
    EXPECT_EQ(s.command(8, op, "afkstatus", ""), Lines{"50: AFK Checking Status: ON"});
    EXPECT_EQ(s.command(8, op, "listexempt", "").size(), 6u);
}

}  // namespace
