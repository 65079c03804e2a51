#include "host/bot_instance.h"
#include "kit/text.h"

namespace idlewarden {

namespace {
struct TopicLine {
    const char* topic;
    const char* line;
};

// Tested in this order; only Bot-Sysops see them.
const TopicLine SysopTopics[] = {
    {"afktime", "Command !afktime #: Change the time limit that a player has before they are considered AFK"},
    {"addexempt",
     "Command !addexempt <PlayerName>: Add a player's name to the list of players that are not checked for AFK"},
    {"delexempt", "Command !delexempt <PlayerName>: Deleted a players's name from the list of exempt players"},
    {"listexempt", "Command !listexempt: List the names of the players that are exempt from AFK checking"},
    {"afksavesetts", "Command !afksavesetts: Save all of the settings of the bot into its file!"},
};
const TopicLine ModTopic = {"afkstatus", "Command !afkstatus [on/off]: Turn on or off the AFK checking status"};

const char* const Header = "-----Idlewarden-----";
const char* const SysopLine1 = "Bot-Sysop Commands: !afktime <#> !listexempt !afksavesetts";
const char* const SysopLine2 = "Bot-Sysop Commands: !addexempt <Player> !delexempt <Player>";
const char* const ModLine = "Bot-Mod Commands: !afkstatus [on/off]";
const char* const Closing = "-----------------";
}  // namespace

void BotInstance::handleHelp(const PlayerRecord* player, const CommandRecord* command) {
    if (player == nullptr || command == nullptr) return;
    const Addressee to(*this, player);
    const int32_t level = player->access;
    const bool sysop = level >= BotSysopLevel && level <= HighestLevel;
    const bool mod = level >= BotModLevel && level <= HighestLevel;
    if (command->params[0] == '\0') {
        if (level >= BotModLevel) sendPrivate(to, Header);
        if (sysop) {
            sendPrivate(to, SysopLine1);
            sendPrivate(to, SysopLine2);
        }
        if (mod) {
            sendPrivate(to, ModLine);
            sendPrivate(to, Closing);
        }
        return;
    }
    if (!mod) return;
    // One line at most (no two topics are alike), chosen before it is sent.
    const char* line = nullptr;
    if (sysop) {
        for (const TopicLine& t : SysopTopics) {
            if (isTopic(*command, t.topic)) {
                line = t.line;
                break;
            }
        }
    }
    if (isTopic(*command, ModTopic.topic)) line = ModTopic.line;
    if (line != nullptr) sendPrivate(to, line);
}

}  // namespace idlewarden
