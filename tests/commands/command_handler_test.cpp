// The operator commands: who may run what, every reply, and what each
// command changes in the instance.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

#include "bot_harness.h"
#include "hostkit/virtual_clock.h"
#include "scratch_dir.h"

using test::Lines;

namespace {

const char* const About = "Dozeguard v1 by Pellucan(pellucan@idlewarden.example)";
const char* const TimeFormat = "You must specify a number! Format- !afktime #";
const char* const StatusFormat = "Invalid command for !afkstatus , use ON or OFF. Ex- !afkstatus on";
const char* const NeedTime = "A Bot-Sysop must set a value for !afktime before this bot can be activated!";
const char* const TurnedOn = "AFK Checking Turned ON Successfully";
const char* const TurnedOff = "AFK Checking Turned OFF Successfully";

struct CommandTest : ::testing::Test, test::BotHarness {
    PlayerRecord* sysop = players.make(40, 4, "Sysop");
    PlayerRecord* mod = players.make(20, 2, "Mod");
};

struct Opening {
    const char* name;
    int32_t lowest;     // the lowest level that gets the reply; 12 is the highest for all
    const char* reply;  // to an empty parameter on a new instance
};

TEST(CommandBands, EachCommandAnswersExactlyItsBand) {
    const Opening commands[] = {
        {"about", 0, About},
        {"version", 0, About},
        {"afkstatus", 2, "AFK Checking Status: OFF"},
        {"afktime", 4, "AFK Time Limit: Not Yet Set"},
        {"addexempt", 4, "You must specify a player's name. Format- !addexempt <PlayerName>"},
        {"delexempt", 4, "You must specify a player's name. Format- !delexempt <PlayerName>"},
        {"listexempt", 4, "No players are currently exempt from the AFK List"},
        {"afksavesetts", 4, "Idlewarden: Save Complete"},
    };
    for (int32_t level : {INT_MIN, -1, 0, 1, 2, 3, 4, 12, 13, INT_MAX}) {
        for (const Opening& c : commands) {
            SCOPED_TRACE(std::string(c.name) + " at level " + std::to_string(level));
            test::ScratchDir dir;
            test::BotHarness h;
            PlayerRecord* p = h.players.make(7, level, "Issuer");
            const bool open = level >= c.lowest && level <= 12;
            EXPECT_EQ(h.command(p, c.name, ""), open ? Lines{c.reply} : Lines{});
            EXPECT_EQ(std::filesystem::exists("Idlewarden.ini"), open && std::string(c.name) == "afksavesetts");
        }
    }
}

TEST_F(CommandTest, WordsThatAreNotCommandsGetNothing) {
    for (const char* word :
         {"AFKTIME", "Afktime", "About", "VERSION", "afktime ", " about", "afk", "help", "", "!about", "afkstatuss"}) {
        EXPECT_EQ(command(sysop, word, "5"), Lines{}) << word;
    }
    EXPECT_EQ(bot.afkTime, 0);
}

TEST_F(CommandTest, ClosedCommandsChangeNothing) {
    PlayerRecord* mod3 = players.make(21, 3, "Mod3");
    PlayerRecord* high = players.make(22, 13, "High");
    PlayerRecord* negative = players.make(23, -1, "Negative");
    for (PlayerRecord* p : {mod3, high, negative}) {
        SCOPED_TRACE(p->name);
        EXPECT_EQ(command(p, "afktime", "5"), Lines{});
        EXPECT_EQ(command(p, "addexempt", "Bob"), Lines{});
    }
    EXPECT_EQ(bot.afkTime, 0);
    EXPECT_EQ(names(), Lines{});
    // With a limit set by a Bot-Sysop, only the Bot-Mod may switch checking on.
    command(sysop, "afktime", "5");
    EXPECT_EQ(command(high, "afkstatus", "on"), Lines{});
    EXPECT_EQ(command(negative, "afkstatus", "on"), Lines{});
    EXPECT_FALSE(bot.enabled);
    EXPECT_EQ(command(mod3, "afkstatus", "on"), Lines{TurnedOn});
    EXPECT_TRUE(bot.enabled);
    EXPECT_EQ(command(sysop, "addexempt", "Bob"), Lines{"Bob Added Successfully!"});
    EXPECT_EQ(command(mod3, "delexempt", "Bob"), Lines{});
    EXPECT_EQ(names(), Lines{"Bob"});
}

TEST_F(CommandTest, MissingRecordsAreIgnored) {
    test::Command c("about", "");
    bot.handleCommand(nullptr, c.get());
    bot.handleCommand(sysop, nullptr);
    bot.handleHelp(nullptr, c.get());
    bot.handleHelp(sysop, nullptr);
    EXPECT_TRUE(host.take().empty());
}

struct TimeCase {
    const char* parameter;
    uint16_t stored;
};

TEST_F(CommandTest, AfkTimeStoresTheLow16BitsOfANumber) {
    const TimeCase cases[] = {
        {"007", 7}, {"-1", 65535},    {"70000", 4464}, {"65536", 0},      {"0", 0},
        {"1", 1},   {"65535", 65535}, {"-65535", 1},   {"4294967301", 5}, {"-0", 0},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.parameter);
        bot.afkTime = 9;
        EXPECT_EQ(command(sysop, "afktime", c.parameter),
                  Lines{"AFK Time Limit Changed to " + std::to_string(c.stored) + " Mins"});
        EXPECT_EQ(bot.afkTime, c.stored);
    }
}

TEST_F(CommandTest, AfkTimeRefusesAnythingElse) {
    bot.afkTime = 9;
    for (const char* bad : {"+5", "5 ", " 5", "1.5", "-", "five", "5min", "--5", "0x10", "\t5"}) {
        EXPECT_EQ(command(sysop, "afktime", bad), Lines{TimeFormat}) << bad;
        EXPECT_EQ(bot.afkTime, 9) << bad;
    }
}

TEST_F(CommandTest, AfkTimeShowsTheStoredLimit) {
    EXPECT_EQ(command(sysop, "afktime", ""), Lines{"AFK Time Limit: Not Yet Set"});
    command(sysop, "afktime", "5");
    EXPECT_EQ(command(sysop, "afktime", ""), Lines{"AFK Time Limit: 5 Mins"});
    command(sysop, "afktime", "-1");
    EXPECT_EQ(command(sysop, "afktime", ""), Lines{"AFK Time Limit: 65535 Mins"});
    // 65536 wraps to 0, which means "not set": checking cannot be switched on.
    EXPECT_EQ(command(sysop, "afktime", "65536"), Lines{"AFK Time Limit Changed to 0 Mins"});
    EXPECT_EQ(command(sysop, "afktime", ""), Lines{"AFK Time Limit: Not Yet Set"});
    EXPECT_EQ(command(sysop, "afkstatus", "on"), Lines{NeedTime});
    EXPECT_FALSE(bot.enabled);
}

TEST_F(CommandTest, SwitchingOnNeedsALimitWhoeverAsks) {
    EXPECT_EQ(command(mod, "afkstatus", "on"), Lines{NeedTime});
    EXPECT_EQ(command(sysop, "afkstatus", "ON"), Lines{NeedTime});
    EXPECT_FALSE(bot.enabled);
    EXPECT_EQ(command(mod, "afkstatus", ""), Lines{"AFK Checking Status: OFF"});
}

TEST_F(CommandTest, AfkStatusTakesOnAndOffInAnyCase) {
    command(sysop, "afktime", "5");
    for (const char* on : {"ON", "On", "oN", "on"}) {
        SCOPED_TRACE(on);
        EXPECT_EQ(command(mod, "afkstatus", on), Lines{TurnedOn});
        EXPECT_TRUE(bot.enabled);
        EXPECT_EQ(command(mod, "afkstatus", ""), Lines{"AFK Checking Status: ON"});
        EXPECT_EQ(command(mod, "afkstatus", on), Lines{"AFK Checking Is Already Enabled"});
        EXPECT_EQ(command(mod, "afkstatus", "OfF"), Lines{TurnedOff});
        EXPECT_FALSE(bot.enabled);
        EXPECT_EQ(command(mod, "afkstatus", "off"), Lines{"AFK Checking Is Already Disabled"});
        EXPECT_FALSE(bot.enabled);
    }
    for (const char* bad : {"on ", " on", "o", "onn", "of", "off ", "1", "true", "ON!"}) {
        EXPECT_EQ(command(mod, "afkstatus", bad), Lines{StatusFormat}) << bad;
        EXPECT_FALSE(bot.enabled) << bad;
    }
}

TEST_F(CommandTest, SwitchingOnWatchesShipsOnlyAndNotExemptNames) {
    virtual_clock::Scope clock(1'000'000);
    players.join(1, 0, "Pilot", 1);
    players.join(2, 0, "Watcher", SpectatorShip);
    players.join(3, 0, "Keeper", 3);
    players.join(4, 0, "Gunner", 0);
    command(sysop, "addexempt", "KEEPER");
    command(sysop, "afktime", "1");
    EXPECT_EQ(watched(), Lines{});  // nothing is watched while checking is off

    EXPECT_EQ(command(sysop, "afkstatus", "on"), Lines{TurnedOn});
    EXPECT_EQ(watched(), (Lines{"Pilot", "Gunner"}));

    // A sweep a minute later spectates exactly the watched players.
    virtual_clock::advance(60'000);
    bot.sweep();
    const std::string explanation =
        "You have been spectated becuase you have not fired a weapon for the past 1 mins and are believed to be "
        "away from your keyboard!";
    EXPECT_EQ(host.takeLines(),
              (Lines{"1: *spec", "1: *spec", "1: " + explanation, "4: *spec", "4: *spec", "4: " + explanation}));
    EXPECT_EQ(watched(), Lines{});
}

TEST_F(CommandTest, OnlySwitchingOnAgainRestartsTheClocks) {
    virtual_clock::Scope clock(5'000'000);
    players.join(1, 0, "Pilot", 1);
    command(sysop, "afktime", "5");
    command(sysop, "afkstatus", "on");
    ASSERT_NE(bot.watchTable.firstNode, nullptr);
    EXPECT_EQ(bot.watchTable.firstNode->item->lastActive, 5'000'000u);

    // "on" while on, and a new limit, leave every entry as it was.
    virtual_clock::advance(30'000);
    EXPECT_EQ(command(sysop, "afkstatus", "on"), Lines{"AFK Checking Is Already Enabled"});
    EXPECT_EQ(command(sysop, "afktime", "0"), Lines{"AFK Time Limit Changed to 0 Mins"});
    EXPECT_TRUE(bot.enabled);
    EXPECT_EQ(watched(), Lines{"Pilot"});
    EXPECT_EQ(bot.watchTable.firstNode->item->lastActive, 5'000'000u);

    // Off empties the table; on again watches from now.
    command(sysop, "afktime", "5");
    EXPECT_EQ(command(sysop, "afkstatus", "off"), Lines{TurnedOff});
    EXPECT_EQ(watched(), Lines{});
    virtual_clock::advance(10'000);
    EXPECT_EQ(command(sysop, "afkstatus", "on"), Lines{TurnedOn});
    EXPECT_EQ(watched(), Lines{"Pilot"});
    EXPECT_EQ(bot.watchTable.firstNode->item->lastActive, 5'040'000u);
}

TEST_F(CommandTest, ExemptionCommandsReachTheList) {
    EXPECT_EQ(command(sysop, "addexempt", "Bob"), Lines{"Bob Added Successfully!"});
    EXPECT_EQ(command(sysop, "addexempt", "BOB"),
              Lines{"That player has already been recorded on the AFK exempt list!"});
    EXPECT_EQ(
        command(sysop, "listexempt", "ignored"),
        (Lines{"|-----------------------------|", "|    Player Exemption List    |", "|-----------------------------|",
               "| Player: Bob                 |", "|-----------------------------|"}));
    EXPECT_EQ(command(sysop, "delexempt", "bob"), Lines{"bob Deleted Successfully!"});
    EXPECT_EQ(command(sysop, "delexempt", "bob"), Lines{"That player was not found on the AFK exempt list"});
    EXPECT_EQ(names(), Lines{});
}

}  // namespace
