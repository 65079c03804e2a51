#include "host/bot_instance.h"
#include "kit/text.h"
#include "kit/text_string.h"

namespace idlewarden {

namespace {
const char* const AboutLine = "Dozeguard v1 by Pellucan(pellucan@idlewarden.example)";

const char* const TimeLimitHead = "AFK Time Limit: ";
const char* const TimeLimitNotSet = "Not Yet Set";
const char* const TimeChangedHead = "AFK Time Limit Changed to ";
const char* const MinsTail = " Mins";
const char* const TimeFormat = "You must specify a number! Format- !afktime #";

const char* const StatusOn = "AFK Checking Status: ON";
const char* const StatusOff = "AFK Checking Status: OFF";
const char* const AlreadyEnabled = "AFK Checking Is Already Enabled";
const char* const NeedTimeLimit = "A Bot-Sysop must set a value for !afktime before this bot can be activated!";
const char* const TurnedOn = "AFK Checking Turned ON Successfully";
const char* const TurnedOff = "AFK Checking Turned OFF Successfully";
const char* const AlreadyDisabled = "AFK Checking Is Already Disabled";
const char* const StatusFormat = "Invalid command for !afkstatus , use ON or OFF. Ex- !afkstatus on";

// `head`, the number and " Mins"; nothing when memory is short.
void replyMinutes(BotInstance& bot, const PlayerRecord* player, const char* head, uint16_t minutes) {
    String reply;
    if (reply.assign(head) && reply.append(static_cast<int32_t>(minutes)) && reply.append(MinsTail)) {
        bot.sendPrivate(player, reply.c_str());
    }
}

void runAfkTime(BotInstance& bot, const PlayerRecord* player, const char* parameter) {
    String text;
    if (!text.assign(parameter)) return;
    if (text.isEmpty()) {
        if (bot.afkTime == 0) {
            String reply;
            if (reply.assign(TimeLimitHead) && reply.append(TimeLimitNotSet)) bot.sendPrivate(player, reply.c_str());
        } else {
            replyMinutes(bot, player, TimeLimitHead, bot.afkTime);
        }
        return;
    }
    if (!isNumeric(text.c_str())) {
        bot.sendPrivate(player, TimeFormat);
        return;
    }
    bot.afkTime = static_cast<uint16_t>(static_cast<uint32_t>(text.toInt()) & 0xFFFFu);
    replyMinutes(bot, player, TimeChangedHead, bot.afkTime);
}

void runAfkStatus(BotInstance& bot, const PlayerRecord* player, const char* parameter) {
    String text;
    if (!text.assign(parameter)) return;
    if (text.isEmpty()) {
        bot.sendPrivate(player, bot.enabled ? StatusOn : StatusOff);
    } else if (text.equalsIgnoreCase("on")) {
        if (bot.enabled) {
            bot.sendPrivate(player, AlreadyEnabled);
        } else if (bot.afkTime == 0) {
            bot.sendPrivate(player, NeedTimeLimit);
        } else {
            bot.watchTable.clear();
            bot.enabled = true;
            bot.rescanRoster();
            bot.sendPrivate(player, TurnedOn);
        }
    } else if (text.equalsIgnoreCase("off")) {
        if (bot.enabled) {
            bot.enabled = false;
            bot.watchTable.clear();
            bot.spectating.clear();  // a sweep that this command interrupted ends
            bot.sendPrivate(player, TurnedOff);
        } else {
            bot.sendPrivate(player, AlreadyDisabled);
        }
    } else {
        bot.sendPrivate(player, StatusFormat);
    }
}
}  // namespace

void BotInstance::handleCommand(const PlayerRecord* player, const CommandRecord* command) {
    if (player == nullptr || command == nullptr) return;
    const int32_t level = player->access;
    if (level < 0 || level > HighestLevel) return;
    const char* parameter = command->params;
    if (level >= BotSysopLevel) {
        if (isCommand(*command, "afktime")) return runAfkTime(*this, player, parameter);
        if (isCommand(*command, "addexempt")) return addExempt(player, parameter);
        if (isCommand(*command, "delexempt")) return removeExempt(player, parameter);
        if (isCommand(*command, "listexempt")) return listExempt(player);
        if (isCommand(*command, "afksavesetts")) return saveSettings(player);
    }
    if (level >= BotModLevel && isCommand(*command, "afkstatus")) return runAfkStatus(*this, player, parameter);
    if (isCommand(*command, "about") || isCommand(*command, "version")) sendPrivate(player, AboutLine);
}

}  // namespace idlewarden
