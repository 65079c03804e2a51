// The exemption list: its replies, its name rules, the listing, and how
// adding and removing names moves players out of and into the watch table.
#include <gtest/gtest.h>

#include "monitor_fixture.h"

using test::event;
using test::joined;
using test::Minute;
using test::spectated;
using test::word;
using Lines = std::vector<std::string>;

namespace {

const std::string Frame = "|-----------------------------|";
const std::string Title = "|    Player Exemption List    |";

struct ExemptListTest : test::MonitorTest {};

TEST_F(ExemptListTest, EveryReplyOfTheThreeCommands) {
    struct Step {
        const char* command;
        const char* parameter;
        Lines reply;
    };
    const Step steps[] = {
        {"listexempt", "", {"1: No players are currently exempt from the AFK List"}},
        {"delexempt", "Bob", {"1: That player was not found on the AFK exempt list"}},
        {"addexempt", "", {"1: You must specify a player's name. Format- !addexempt <PlayerName>"}},
        {"delexempt", "", {"1: You must specify a player's name. Format- !delexempt <PlayerName>"}},
        {"addexempt", "Bob", {"1: Bob Added Successfully!"}},
        {"addexempt", "BOB", {"1: That player has already been recorded on the AFK exempt list!"}},
        {"addexempt", "Bobby", {"1: Bobby Added Successfully!"}},
        {"delexempt", "Rob", {"1: That player was not found on the AFK exempt list"}},
        {"delexempt", "bob", {"1: bob Deleted Successfully!"}},
        {"delexempt", "bob", {"1: That player was not found on the AFK exempt list"}},
        {"listexempt",
         "",
         {"1: " + Frame, "1: " + Title, "1: " + Frame, "1: | Player: Bobby               |", "1: " + Frame}},
        {"delexempt", "BOBBY", {"1: BOBBY Deleted Successfully!"}},
        {"listexempt", "", {"1: No players are currently exempt from the AFK List"}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.command) + " '" + s.parameter + "'");
        EXPECT_EQ(say(s.command, s.parameter), s.reply);
    }
}

TEST_F(ExemptListTest, ListedLinesAreAll31CharactersWide) {
    const std::string one = "Q", seventeen = "Seventeen_chars_x", nineteen = "Nineteen_characters";
    ASSERT_EQ(seventeen.size(), 17u);
    ASSERT_EQ(nineteen.size(), 19u);
    for (const std::string& name : {one, seventeen, nineteen}) say("addexempt", name);
    const Lines expected = {
        "1: " + Frame,
        "1: " + Title,
        "1: " + Frame,
        "1: | Player: Q" + std::string(19, ' ') + "|",
        "1: | Player: Seventeen_chars_x   |",
        "1: | Player: Nineteen_characters |",
        "1: " + Frame,
    };
    const Lines listed = say("listexempt");
    EXPECT_EQ(listed, expected);
    for (const std::string& line : listed) EXPECT_EQ(line.size(), 3u + 31u) << line;
}

TEST_F(ExemptListTest, ALongNameIsStoredAs19CharactersAndRepeatedWhole) {
    const std::string full = "Abcdefghijklmnopqrstuvwxy";  // 25
    const std::string cut = full.substr(0, 19);
    auto* longName = players.join(2, 0, full, 1);
    auto* cutName = players.join(3, 0, cut, 1);
    switchOn(1);  // both watched
    EXPECT_EQ(say("addexempt", full), Lines{"1: " + full + " Added Successfully!"});
    EXPECT_EQ(say("listexempt"),
              (Lines{"1: " + Frame, "1: " + Title, "1: " + Frame, "1: | Player: " + cut + " |", "1: " + Frame}));
    // The addition ends the watches of both names, but only the cut name is
    // exempt from then on: the full name is watched again on arrival, the cut
    // name is not, and its watch from before the addition is gone.
    send(PlayerArrived, longName);
    send(PlayerArrived, cutName);
    virtual_clock::advance(Minute);
    EXPECT_EQ(sweep(), spectated(longName->ident, 1));
    EXPECT_EQ(say("delexempt", full), Lines{"1: That player was not found on the AFK exempt list"});
    EXPECT_EQ(say("delexempt", cut), Lines{"1: " + cut + " Deleted Successfully!"});
}

TEST_F(ExemptListTest, AnExemptNameIsWatchedByNoPathInAnyLetterCase) {
    EXPECT_EQ(say("addexempt", "Bob"), Lines{"1: Bob Added Successfully!"});
    auto* shouting = players.join(2, 0, "BOB", 1);
    auto* longer = players.join(3, 0, "Bobby", 1);
    switchOn(1);
    send(PlayerArrived, shouting);
    send(ShipChanged, shouting, SpectatorShip);
    send(RosterReset);
    virtual_clock::advance(Minute);
    EXPECT_EQ(sweep(), spectated(longer->ident, 1));
}

TEST_F(ExemptListTest, AddingANameEndsEveryWatchOfThatName) {
    switchOn(1);
    auto* bob = players.join(2, 0, "Bob", 1);
    auto* otherBob = players.join(3, 0, "bOB", 4);
    auto* carl = players.join(4, 0, "Carl", 1);
    for (auto* p : {bob, otherBob, bob, carl}) send(PlayerArrived, p);
    EXPECT_EQ(say("addexempt", "BOB"), Lines{"1: BOB Added Successfully!"});
    virtual_clock::advance(Minute);
    EXPECT_EQ(sweep(), spectated(carl->ident, 1));
}

TEST_F(ExemptListTest, ARemovedNameIsWatchedFromTheMomentOfRemoval) {
    auto* bob = players.join(2, 0, "Bob", 1);
    auto* sam = players.join(3, 0, "Sam", SpectatorShip);
    say("addexempt", "Bob");
    say("addexempt", "Sam");
    switchOn(1);
    virtual_clock::advance(Minute / 2);
    EXPECT_EQ(say("delexempt", "bob"), Lines{"1: bob Deleted Successfully!"});
    EXPECT_EQ(say("delexempt", "sam"), Lines{"1: sam Deleted Successfully!"});
    virtual_clock::advance(Minute / 2);
    EXPECT_TRUE(sweep().empty());
    virtual_clock::advance(Minute / 2);
    EXPECT_EQ(sweep(), spectated(bob->ident, 1));
    // Sam was spectating and is not watched until leaving the spectator ship.
    send(ShipChanged, sam, SpectatorShip);
    virtual_clock::advance(Minute);
    EXPECT_EQ(sweep(), spectated(sam->ident, 1));
}

struct ExemptListBareTest : test::BareBotTest {};

TEST_F(ExemptListBareTest, NamesMatchIgnoringOnlyTheCaseOfAToZ) {
    struct Case {
        const char* stored;
        const char* candidate;
        bool same;
    };
    const Case cases[] = {
        {"Bob", "BOB", true},          {"Bob", "bOb", true},    {"a1_Z", "A1_z", true},
        {"Bob", "Bobby", false},       {"Bobby", "Bob", false}, {"Bob", "Bob ", false},
        {"\xC9ric", "\xE9ric", false}, {"[a]", "{a}", false},   {"Z@", "z`", false},
    };
    auto* issuer = players.make(1, 4, "Op", SpectatorShip);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stored) + " / " + c.candidate);
        idlewarden::BotInstance fresh(1);
        fresh.callback = test::Recorder::callback();
        fresh.enabled = true;
        fresh.afkTime = 1;
        fresh.addExempt(issuer, c.stored);
        host.take();
        EXPECT_EQ(fresh.isExempt(c.candidate), c.same);
        auto* player = players.make(2, 0, c.candidate, 1);
        fresh.dispatch(event(1, PlayerArrived, word(player)));
        EXPECT_EQ(fresh.watchTable.nodeCount, c.same ? 0u : 1u);
        fresh.addExempt(issuer, c.candidate);
        EXPECT_EQ(host.takeLines(), Lines{c.same ? "1: That player has already been recorded on the AFK exempt list!"
                                                 : "1: " + std::string(c.candidate) + " Added Successfully!"});
    }
}

TEST_F(ExemptListBareTest, RemovalWatchesOnlyTheFirstRosterPlayerOfThatNameWhileCheckingIsOn) {
    struct Seat {
        const char* name;
        uint8_t ship;
    };
    struct Case {
        const char* what;
        std::vector<Seat> roster;
        bool enabled;
        int records;  // how often "Bob" is on the list
        int watched;  // roster index of the one player watched, or -1
    };
    const Case cases[] = {
        {"in a ship", {{"Bob", 1}}, true, 1, 0},
        {"checking off", {{"Bob", 1}}, false, 1, -1},
        {"spectating", {{"Bob", SpectatorShip}}, true, 1, -1},
        {"first match in a ship", {{"Al", 1}, {"BOB", 2}, {"bob", 1}}, true, 1, 1},
        {"first match spectating", {{"Al", 1}, {"bob", SpectatorShip}, {"BOB", 1}}, true, 1, -1},
        {"nobody of that name", {{"Al", 1}}, true, 1, -1},
        {"still exempt through a second record", {{"Bob", 1}}, true, 2, -1},
    };
    auto* issuer = players.make(1, 4, "Op", SpectatorShip);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::Players seats;
        std::vector<PlayerRecord*> records;
        for (const Seat& s : c.roster) {
            records.push_back(seats.join(static_cast<uint16_t>(10 + records.size()), 0, s.name, s.ship));
        }
        idlewarden::BotInstance fresh(1);
        fresh.callback = test::Recorder::callback();
        fresh.roster = &seats.list;
        fresh.enabled = c.enabled;
        fresh.afkTime = 1;
        // As the settings file can leave it: the same name more than once.
        for (int i = 0; i < c.records; ++i) fresh.exemptList.append(idlewarden::ExemptName::make("Bob"));
        virtual_clock::advance(1000);
        fresh.removeExempt(issuer, "bob");
        EXPECT_EQ(host.takeLines(), Lines{"1: bob Deleted Successfully!"});
        EXPECT_EQ(fresh.exemptList.nodeCount, static_cast<uint32_t>(c.records - 1));
        EXPECT_EQ(fresh.isExempt("Bob"), c.records > 1);
        if (c.watched < 0) {
            EXPECT_EQ(fresh.watchTable.nodeCount, 0u);
        } else {
            ASSERT_EQ(fresh.watchTable.nodeCount, 1u);
            EXPECT_EQ(fresh.watchTable.firstNode->item->player, records[static_cast<size_t>(c.watched)]);
            EXPECT_EQ(fresh.watchTable.firstNode->item->lastActive, static_cast<uint32_t>(virtual_clock::now()));
        }
    }
}

}  // namespace
