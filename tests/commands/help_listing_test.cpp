// The help listing: the general lines by level, and one line per topic.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "bot_harness.h"

using test::Lines;

namespace {

const char* const Header = "-----Idlewarden-----";
const char* const Sysop1 = "Bot-Sysop Commands: !afktime <#> !listexempt !afksavesetts";
const char* const Sysop2 = "Bot-Sysop Commands: !addexempt <Player> !delexempt <Player>";
const char* const ModLine = "Bot-Mod Commands: !afkstatus [on/off]";
const char* const Closing = "-----------------";

TEST(HelpListing, GeneralListingByLevel) {
    const std::pair<int32_t, Lines> cases[] = {
        {INT_MIN, {}},
        {-1, {}},
        {0, {}},
        {1, {}},
        {2, {Header, ModLine, Closing}},
        {3, {Header, ModLine, Closing}},
        {4, {Header, Sysop1, Sysop2, ModLine, Closing}},
        {12, {Header, Sysop1, Sysop2, ModLine, Closing}},
        {13, {Header}},
        {INT_MAX, {Header}},
    };
    for (const auto& [level, lines] : cases) {
        SCOPED_TRACE(level);
        test::BotHarness h;
        EXPECT_EQ(h.help(h.players.make(5, level, "Asker"), ""), lines);
    }
}

struct Topic {
    const char* asked;  // in odd letter case: topics match in any case
    int32_t lowest;
    const char* line;
};

TEST(HelpListing, EachTopicGetsItsLineWithinItsBand) {
    const Topic topics[] = {
        {"AfKtImE", 4, "Command !afktime #: Change the time limit that a player has before they are considered AFK"},
        {"ADDEXEMPT", 4,
         "Command !addexempt <PlayerName>: Add a player's name to the list of players that are not checked for AFK"},
        {"delExempt", 4, "Command !delexempt <PlayerName>: Deleted a players's name from the list of exempt players"},
        {"ListexempT", 4, "Command !listexempt: List the names of the players that are exempt from AFK checking"},
        {"afkSAVEsetts", 4, "Command !afksavesetts: Save all of the settings of the bot into its file!"},
        {"AFKSTATUS", 2, "Command !afkstatus [on/off]: Turn on or off the AFK checking status"},
        {"afkstatus", 2, "Command !afkstatus [on/off]: Turn on or off the AFK checking status"},
    };
    for (int32_t level : {INT_MIN, -1, 0, 1, 2, 3, 4, 12, 13, INT_MAX}) {
        for (const Topic& t : topics) {
            SCOPED_TRACE(std::string(t.asked) + " at level " + std::to_string(level));
            test::BotHarness h;
            const bool open = level >= t.lowest && level <= 12;
            EXPECT_EQ(h.help(h.players.make(5, level, "Asker"), t.asked), open ? Lines{t.line} : Lines{});
        }
    }
}

TEST(HelpListing, TopicsThatNameNoCommandGetNothing) {
    for (int32_t level : {2, 4, 12}) {
        for (const char* topic : {"!afkstatus", " afkstatus", "afkstatus ", "afkstatus!", "about", "version", "ABOUT",
                                  "afk", "help", "afktimes", "afkstatus on", "Idlewarden"}) {
            SCOPED_TRACE(std::string(topic) + " at level " + std::to_string(level));
            test::BotHarness h;
            EXPECT_EQ(h.help(h.players.make(5, level, "Asker"), topic), Lines{});
        }
    }
}

}  // namespace
