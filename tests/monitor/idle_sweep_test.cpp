// The idle sweep: when it runs, whom it spectates, what it says.
#include <gtest/gtest.h>

#include "monitor_fixture.h"

using test::joined;
using test::Minute;
using test::spectated;
using Lines = std::vector<std::string>;

namespace {

struct IdleSweepTest : test::MonitorTest {};

TEST_F(IdleSweepTest, SweepsComeOnThe16thCountedTickThenEvery60WithAShortGapAtTheWrap) {
    auto* idle = players.join(2, 0, "Idle", 1);
    ticks(100);  // not counted: checking is off
    switchOn(1);
    // Every tick comes a minute after the last, so each sweep spectates the
    // player, who is then watched again at once.
    std::vector<int> sweptAt;
    for (int counted = 1; counted <= 65552; ++counted) {
        virtual_clock::advance(Minute);
        send(Tick);
        Lines sent = host.takeLines();
        if (sent.empty()) continue;
        ASSERT_EQ(sent, spectated(idle->ident, 1)) << "tick " << counted;
        sweptAt.push_back(counted);
        send(ShipChanged, idle, SpectatorShip);
    }
    std::vector<int> expected;
    for (int at = 16; at <= 65536; at += 60) expected.push_back(at);
    expected.push_back(65552);
    EXPECT_EQ(sweptAt, expected);
    ASSERT_GE(sweptAt.size(), 3u);
    EXPECT_EQ(std::vector<int>(sweptAt.begin(), sweptAt.begin() + 3), (std::vector<int>{16, 76, 136}));
}

TEST_F(IdleSweepTest, TicksWhileCheckingIsOffAreNotCounted) {
    auto* idle = players.join(2, 0, "Idle", 1);
    switchOn(1);
    ticks(10);
    switchOff();
    virtual_clock::advance(10 * Minute);
    ticks(100);
    EXPECT_TRUE(host.take().empty());
    switchOn(1);  // watches the player again from now
    virtual_clock::advance(Minute);
    ticks(5);
    EXPECT_TRUE(host.take().empty());
    ticks(1);  // the 16th counted tick
    EXPECT_EQ(host.takeLines(), spectated(idle->ident, 1));
}

TEST_F(IdleSweepTest, AMinuteLimitIsReachedAt60000MillisecondsAcrossAClockWrapToo) {
    auto* first = players.join(2, 0, "First", 1);
    auto* second = players.make(3, 0, "Second", 1);
    for (uint64_t start : {test::StartMs, uint64_t{4'294'967'000}}) {
        SCOPED_TRACE(start);
        virtual_clock::set(start);
        switchOn(1);  // watches `first` from `start`
        virtual_clock::advance(1);
        send(PlayerArrived, second);
        virtual_clock::advance(59'999);  // 59,704 past the wrap in the second case
        EXPECT_EQ(sweep(), spectated(first->ident, 1));
        virtual_clock::advance(1);
        EXPECT_EQ(sweep(), spectated(second->ident, 1));
        switchOff();
    }
}

TEST_F(IdleSweepTest, TheLimitIsReadAtEachSweepAndNamedInTheExplanation) {
    auto* early = players.join(2, 0, "Early", 1);
    switchOn(5);
    virtual_clock::advance(2 * Minute);
    EXPECT_TRUE(sweep().empty());
    EXPECT_EQ(say("afktime", "2"), Lines{"1: AFK Time Limit Changed to 2 Mins"});
    EXPECT_EQ(sweep(), spectated(early->ident, 2));

    auto* late = players.make(3, 0, "Late", 1);
    send(PlayerArrived, late);
    EXPECT_EQ(say("afktime", "-1"), Lines{"1: AFK Time Limit Changed to 65535 Mins"});
    virtual_clock::advance(65535 * Minute - 1);
    EXPECT_TRUE(sweep().empty());
    virtual_clock::advance(1);
    EXPECT_EQ(sweep(), spectated(late->ident, 65535));
}

TEST_F(IdleSweepTest, WithTheLimitAtZeroNobodyIsSpectatedButTicksAreCounted) {
    auto* idle = players.join(2, 0, "Idle", 1);
    switchOn(1);
    ticks(10);
    EXPECT_EQ(say("afktime", "0"), Lines{"1: AFK Time Limit Changed to 0 Mins"});
    virtual_clock::advance(10 * Minute);
    ticks(10);  // passes the 16th counted tick
    EXPECT_TRUE(host.take().empty());
    EXPECT_EQ(say("afktime", "1"), Lines{"1: AFK Time Limit Changed to 1 Mins"});
    ticks(55);
    EXPECT_TRUE(host.take().empty());
    ticks(1);  // the 76th counted tick
    EXPECT_EQ(host.takeLines(), spectated(idle->ident, 1));
}

TEST_F(IdleSweepTest, ASweepTestsEveryEntryInTableOrderAroundTheOnesItRemoves) {
    switchOn(1);
    PlayerRecord* p[4];
    for (uint16_t i = 0; i < 4; ++i) {
        p[i] = players.join(static_cast<uint16_t>(2 + i), 0, "P" + std::to_string(i), 1);
        send(PlayerArrived, p[i]);
    }
    virtual_clock::advance(Minute / 2);
    send(WeaponFired, p[0]);
    send(WeaponFired, p[2]);
    virtual_clock::advance(Minute / 2);
    EXPECT_EQ(sweep(), joined({spectated(p[1]->ident, 1), spectated(p[3]->ident, 1)}));
    virtual_clock::advance(Minute / 2);
    EXPECT_EQ(sweep(), joined({spectated(p[0]->ident, 1), spectated(p[2]->ident, 1)}));
}

TEST_F(IdleSweepTest, WithoutACallbackIdleEntriesAreRemovedSilently) {
    players.join(2, 0, "Silent", 1);
    switchOn(1);
    connect(nullptr);
    virtual_clock::advance(Minute);
    ticks(60);
    EXPECT_TRUE(host.take().empty());
    connect(test::Recorder::callback());
    EXPECT_EQ(host.takeLines(), Lines{"log: DLL plugin connected."});
    auto* later = players.join(3, 0, "Later", 1);
    send(PlayerArrived, later);
    virtual_clock::advance(10 * Minute);
    EXPECT_EQ(sweep(), spectated(later->ident, 1));  // Silent's entry went
}

}  // namespace
