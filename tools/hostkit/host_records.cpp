#include "host_records.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hostkit {

bool fillRecord(PlayerRecord& record, uint16_t ident, int32_t access, std::string_view name, uint8_t ship) {
    if (name.size() >= sizeof record.name || name.find('\0') != std::string_view::npos) return false;
    std::memset(&record, HostByte, sizeof record);
    record.ident = ident;
    record.access = access;
    std::memcpy(record.name, name.data(), name.size());
    record.name[name.size()] = '\0';
    record.ship = ship;
    return true;
}

CommandRecord commandRecord(const char* name, const char* params) {
    CommandRecord record{};
    std::memset(record.hostOwned, HostByte, sizeof record.hostOwned);
    record.name = name;
    record.params = params;
    return record;
}

Roster::~Roster() { clear(); }

PlayerRecord* Roster::make(uint16_t ident, int32_t access, std::string_view name, uint8_t ship) {
    auto* p = new Player;
    if (!fillRecord(p->record, ident, access, name, ship)) {
        std::fprintf(stderr, "hostkit: the name \"%.*s\" does not fit a player record\n", static_cast<int>(name.size()),
                     name.data());
        std::abort();
    }
    p->node = HostPlayerNode{&p->record, nullptr};
    players.push_back(p);
    return &p->record;
}

PlayerRecord* Roster::join(uint16_t ident, int32_t access, std::string_view name, uint8_t ship) {
    PlayerRecord* player = make(ident, access, name, ship);
    append(player);
    return player;
}

void Roster::append(PlayerRecord* player) {
    Player* p = entryOf(player);
    if (p == nullptr || onRoster(player)) return;
    HostPlayerNode** tail = &list.first;
    while (*tail != nullptr) tail = &(*tail)->next;
    p->node.next = nullptr;
    *tail = &p->node;
}

void Roster::leave(const PlayerRecord* player) {
    for (HostPlayerNode** link = &list.first; *link != nullptr; link = &(*link)->next) {
        if ((*link)->item == player) {
            *link = (*link)->next;
            return;
        }
    }
}

void Roster::release(PlayerRecord* player) {
    leave(player);
    for (size_t i = 0; i < players.size(); ++i) {
        if (&players[i]->record == player) {
            delete players[i];
            players.erase(players.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void Roster::clear() {
    list.first = nullptr;
    for (Player* p : players) delete p;
    players.clear();
}

bool Roster::onRoster(const PlayerRecord* player) const {
    for (const HostPlayerNode* n = list.first; n != nullptr; n = n->next) {
        if (n->item == player) return true;
    }
    return false;
}

bool Roster::isLive(const PlayerRecord* player) const { return entryOf(player) != nullptr; }

PlayerRecord* Roster::find(uintptr_t ident) const {
    for (Player* p : players) {
        if (p->record.ident == ident) return &p->record;
    }
    return nullptr;
}

PlayerRecord* Roster::at(size_t index) const { return index < players.size() ? &players[index]->record : nullptr; }

Roster::Player* Roster::entryOf(const PlayerRecord* player) const {
    for (Player* p : players) {
        if (&p->record == player) return p;
    }
    return nullptr;
}

}  // namespace hostkit
