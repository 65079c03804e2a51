// Who is watched and since when: roster resets, arrivals, ship changes,
// departures and weapon shots, seen through the sweeps that follow them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "monitor_fixture.h"

using test::event;
using test::joined;
using test::Minute;
using test::spectated;
using test::StartMs;
using test::word;
using Lines = std::vector<std::string>;

namespace {

struct WatchTableTest : test::MonitorTest {};
struct WatchTableBareTest : test::BareBotTest {};

TEST_F(WatchTableTest, RosterResetRestartsEveryWatchFromTheRosterInOrder) {
    auto* a = players.join(2, 0, "Alice", 1);
    players.join(3, 0, "Spec", SpectatorShip);
    auto* b = players.join(4, 0, "Bert", 5);
    players.join(5, 0, "Xavier", 2);
    auto* stranger = players.make(6, 0, "Stranger", 3);  // not on the roster
    EXPECT_EQ(say("addexempt", "xavier"), Lines{"1: xavier Added Successfully!"});
    switchOn(1);
    send(PlayerArrived, stranger);
    virtual_clock::advance(Minute / 2);
    send(RosterReset);
    // Every watch from before the reset is gone, the stranger's included: a
    // minute after they began nobody is idle.
    virtual_clock::advance(Minute / 2);
    EXPECT_TRUE(sweep().empty());
    virtual_clock::advance(Minute / 2);
    EXPECT_EQ(sweep(), joined({spectated(a->ident, 1), spectated(b->ident, 1)}));
    virtual_clock::advance(10 * Minute);
    EXPECT_TRUE(sweep().empty());
}

TEST_F(WatchTableBareTest, RosterResetClearsAndRefillsOnlyWhileALimitIsSet) {
    struct Case {
        const char* what;
        bool enabled;
        uint16_t afkTime;
        bool enabledAfter;
        bool refilled;
    };
    const Case cases[] = {
        {"on, limit 3", true, 3, true, true},
        {"on, no limit", true, 0, false, false},
        {"off, limit 3", false, 3, false, false},
    };
    auto* a = players.join(2, 0, "Alice", 1);
    players.join(3, 0, "Spec", SpectatorShip);
    auto* b = players.join(4, 0, "Bert", 7);
    auto* stranger = players.make(5, 0, "Stranger", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bot.watch(stranger);  // an older watch that the reset must drop
        virtual_clock::advance(1234);
        bot.enabled = c.enabled;
        bot.afkTime = c.afkTime;
        bot.dispatch(event(1, RosterReset));
        EXPECT_EQ(bot.enabled, c.enabledAfter);
        const auto now = static_cast<uint32_t>(virtual_clock::now());
        using Entries = decltype(entries());
        const Entries refilled = {{a, now}, {b, now}};
        EXPECT_EQ(entries(), c.refilled ? refilled : Entries{});
        bot.watchTable.clear();
    }
    EXPECT_TRUE(host.take().empty());
}

TEST_F(WatchTableBareTest, AnInstanceWithoutARosterWatchesNobody) {
    bot.roster = nullptr;
    bot.enabled = true;
    bot.afkTime = 1;
    bot.dispatch(event(1, RosterReset));
    EXPECT_TRUE(bot.enabled);
    EXPECT_EQ(bot.watchTable.nodeCount, 0u);
}

TEST_F(WatchTableBareTest, PlayerEventsChangeNothingWhileCheckingIsOff) {
    bot.afkTime = 1;
    auto* a = players.join(2, 0, "Alice", 1);
    for (uint32_t code : {PlayerArrived, ShipChanged, WeaponFired, PlayerSpectated, PlayerLeft}) {
        bot.dispatch(event(1, code, word(a), SpectatorShip));
    }
    EXPECT_EQ(bot.watchTable.nodeCount, 0u);
    EXPECT_FALSE(bot.enabled);
}

TEST_F(WatchTableTest, ArrivalsAreWatchedOnlyInAShip) {
    switchOn(1);
    auto* flying = players.join(2, 0, "Flying", 4);
    auto* watching = players.join(3, 0, "Watching", SpectatorShip);
    send(PlayerArrived, watching);
    send(PlayerArrived, flying);
    virtual_clock::advance(Minute);
    EXPECT_EQ(sweep(), spectated(flying->ident, 1));
}

TEST_F(WatchTableTest, OnlyAChangeAwayFromTheSpectatorShipStartsAWatch) {
    const bool wide = sizeof(uintptr_t) == 8;
    struct Case {
        uintptr_t oldShipWord;
        uint8_t shipNow;
        bool watched;
    };
    const Case cases[] = {
        {8, 1, true},           {8, SpectatorShip, true},  // the record's own ship is not consulted
        {0xABCD0008u, 2, true}, {wide ? (uintptr_t{1} << 40) | 8 : 0xFFFF0008u, 3, true},
        {0, 1, false},          {1, 2, false},
        {7, 1, false},          {9, 1, false},
        {0x108, 1, false},      {0x00080000u, 1, false},
    };
    switchOn(1);
    Lines expected;
    uint16_t ident = 10;
    for (const Case& c : cases) {
        auto* player = players.join(ident, 0, "P" + std::to_string(ident), c.shipNow);
        send(ShipChanged, player, c.oldShipWord);
        if (c.watched) expected = joined({expected, spectated(ident, 1)});
        ++ident;
    }
    virtual_clock::advance(Minute);
    EXPECT_EQ(sweep(), expected);
}

TEST_F(WatchTableTest, SpectatingOrLeavingEndsTheWatch) {
    switchOn(1);
    auto* spectates = players.join(2, 0, "Goes8", 1);
    auto* leaves = players.join(3, 0, "Gone", 1);
    auto* stays = players.join(4, 0, "Stays", 1);
    auto* unwatched = players.join(5, 0, "Never", 1);
    for (auto* p : {spectates, leaves, stays}) send(PlayerArrived, p);
    send(PlayerSpectated, spectates);
    send(PlayerLeft, leaves);
    players.leave(leaves);
    // A player without an entry: nothing to remove, and no entry is made.
    send(PlayerSpectated, unwatched);
    send(PlayerLeft, unwatched);
    send(WeaponFired, unwatched);
    virtual_clock::advance(Minute);
    EXPECT_EQ(sweep(), spectated(stays->ident, 1));
}

TEST_F(WatchTableTest, TwoEntriesOfOneRecordAreBothSpectated) {
    switchOn(1);
    auto* twice = players.join(2, 0, "Twice", 1);
    send(PlayerArrived, twice);
    send(PlayerArrived, twice);
    virtual_clock::advance(Minute);
    EXPECT_EQ(sweep(), joined({spectated(2, 1), spectated(2, 1)}));
}

TEST_F(WatchTableTest, AWeaponShotRefreshesOnlyTheFirstEntry) {
    switchOn(1);
    auto* twice = players.join(2, 0, "Twice", 1);
    send(PlayerArrived, twice);
    send(PlayerArrived, twice);
    virtual_clock::advance(Minute / 2);
    send(WeaponFired, twice);
    virtual_clock::advance(Minute / 2);
    EXPECT_EQ(sweep(), spectated(2, 1));  // the second entry kept its time
    virtual_clock::advance(Minute / 2);
    EXPECT_EQ(sweep(), spectated(2, 1));  // the first, a minute after the shot
    virtual_clock::advance(Minute);
    EXPECT_TRUE(sweep().empty());
}

TEST_F(WatchTableTest, SpectatingRemovesOnlyTheFirstEntry) {
    switchOn(1);
    auto* twice = players.join(2, 0, "Twice", 1);
    send(PlayerArrived, twice);
    virtual_clock::advance(Minute / 2);
    send(PlayerArrived, twice);
    send(PlayerSpectated, twice);
    // The older entry went: the newer is idle only a minute after it began.
    virtual_clock::advance(Minute / 2);
    EXPECT_TRUE(sweep().empty());
    virtual_clock::advance(Minute / 2);
    EXPECT_EQ(sweep(), spectated(2, 1));
}

TEST_F(WatchTableTest, LeavingRemovesEveryEntryBeforeTheRecordIsReleased) {
    switchOn(1);
    auto departing = std::make_unique<PlayerRecord>();
    std::memset(departing.get(), 0, sizeof(PlayerRecord));
    departing->ident = 2;
    std::strcpy(departing->name, "Twice");
    departing->ship = 1;
    send(PlayerArrived, departing.get());
    send(PlayerArrived, departing.get());
    send(PlayerLeft, departing.get());
    departing.reset();  // the host releases the record after PlayerLeft
    virtual_clock::advance(Minute);
    EXPECT_TRUE(sweep().empty());
}

}  // namespace
