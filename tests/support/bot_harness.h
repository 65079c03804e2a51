// One bot instance driven directly (not through the module file), with a
// recorder as its host callback and a roster of test players. Lets a test
// read the instance's fields next to the replies that it sends.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_host.h"
#include "host/bot_instance.h"

namespace test {

using Lines = std::vector<std::string>;

// The exemption list of `bot` as stored, in order.
inline Lines namesOf(const idlewarden::BotInstance& bot) {
    Lines out;
    for (auto* n = bot.exemptList.firstNode; n != nullptr; n = n->nextNode) out.emplace_back(n->item->text);
    return out;
}

// The recorder is the one current while the harness lives: make no other
// Recorder (or harness) while one is in use.
struct BotHarness {
    Recorder host;
    Players players;
    idlewarden::BotInstance bot{1};

    BotHarness() {
        bot.callback = Recorder::callback();
        bot.roster = &players.list;
    }

    // The texts sent since the last take; every one must be a private
    // message to `to`.
    std::vector<std::string> repliesTo(const PlayerRecord* to) {
        std::vector<std::string> texts;
        for (const Sent& s : host.take()) {
            EXPECT_TRUE(s.isChat()) << s.text;
            EXPECT_EQ(s.handle, bot.handle);
            EXPECT_EQ(s.p[0], PrivateChat);
            EXPECT_EQ(s.p[2], to->ident) << s.text;
            texts.push_back(s.text);
        }
        return texts;
    }

    std::vector<std::string> command(const PlayerRecord* player, const std::string& name, const std::string& params) {
        Command c(name, params);
        bot.handleCommand(player, c.get());
        return repliesTo(player);
    }

    std::vector<std::string> help(const PlayerRecord* player, const std::string& topic) {
        Command c("help", topic);
        bot.handleHelp(player, c.get());
        return repliesTo(player);
    }

    Lines names() const { return namesOf(bot); }

    // The names of the watched players, in table order.
    std::vector<std::string> watched() const {
        std::vector<std::string> out;
        for (auto* n = bot.watchTable.firstNode; n != nullptr; n = n->nextNode) out.emplace_back(n->item->player->name);
        return out;
    }
};

}  // namespace test
