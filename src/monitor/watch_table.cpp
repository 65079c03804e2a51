#include "host/bot_instance.h"
#include "kit/text.h"
#include "platform/platform.h"

namespace idlewarden {

namespace {
// Walk with removal: every entry that passes `test` goes.
template <typename Test>
void removeEvery(WatchTable& table, Test test) {
    WatchTable::Node* node = table.firstNode;
    while (node != nullptr) {
        WatchTable::Node* next = node->nextNode;
        if (test(*node->item)) table.remove(node);
        node = next;
    }
}
}  // namespace

bool BotInstance::watch(PlayerRecord* player) {
    if (isExempt(player->name)) return true;
    auto* entry = new (std::nothrow) WatchEntry{player, platform::tickCount()};
    if (entry == nullptr) return false;
    return watchTable.append(entry);
}

void BotInstance::unwatch(const PlayerRecord* player) {
    watchTable.removeFirst([player](const WatchEntry& e) { return e.player == player; });
}

void BotInstance::unwatchAll(const PlayerRecord* player) {
    removeEvery(watchTable, [player](const WatchEntry& e) { return e.player == player; });
}

void BotInstance::unwatchByName(const char* name) {
    removeEvery(watchTable, [name](const WatchEntry& e) { return equalsIgnoreCase(e.player->name, name); });
}

WatchEntry* BotInstance::findEntry(const PlayerRecord* player) {
    auto* node = watchTable.findFirst([player](const WatchEntry& e) { return e.player == player; });
    return node == nullptr ? nullptr : node->item;
}

void BotInstance::rescanRoster() {
    if (roster == nullptr) return;
    for (HostPlayerNode* node = roster->first; node != nullptr; node = node->next) {
        if (node->item->ship != SpectatorShip) watch(node->item);
    }
}

void BotInstance::forgetDeparted(const PlayerRecord* player) {
    removeEvery(spectating, [player](const WatchEntry& e) { return e.player == player; });
    for (Addressee* a = addressees; a != nullptr; a = a->outer) {
        if (a->player == player) a->player = nullptr;
    }
}

void BotInstance::forgetOffRoster() {
    spectating.clear();
    for (Addressee* a = addressees; a != nullptr; a = a->outer) {
        bool present = false;
        for (HostPlayerNode* p = roster == nullptr ? nullptr : roster->first; p != nullptr && !present; p = p->next) {
            present = p->item == a->player;
        }
        if (!present) a->player = nullptr;
    }
}

void BotInstance::onRosterReset() {
    forgetOffRoster();
    if (afkTime == 0) enabled = false;
    watchTable.clear();
    if (enabled) rescanRoster();
}

void BotInstance::onPlayerArrived(PlayerRecord* player) {
    if (!enabled) return;
    if (player->ship != SpectatorShip) watch(player);
}

void BotInstance::onShipChanged(PlayerRecord* player, uint16_t oldShip) {
    if (!enabled) return;
    // Only leaving spectator mode starts a watch; the record's own ship is
    // not consulted.
    if (oldShip == SpectatorShip) watch(player);
}

void BotInstance::onPlayerSpectated(const PlayerRecord* player) {
    if (!enabled) return;
    unwatch(player);
}

void BotInstance::onPlayerLeft(const PlayerRecord* player) {
    forgetDeparted(player);  // whether checking is on or not
    if (!enabled) return;
    // Every entry: the host releases the record after this event, and a
    // record can have been watched twice.
    unwatchAll(player);
}

void BotInstance::onWeaponFired(const PlayerRecord* player) {
    if (!enabled) return;
    WatchEntry* entry = findEntry(player);
    if (entry != nullptr) entry->lastActive = platform::tickCount();
}

}  // namespace idlewarden
