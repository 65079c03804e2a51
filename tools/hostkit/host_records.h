// The host's records as the host lays them out: player records whose
// host-owned bytes carry a pattern (never zeros the module might take for
// its own), a roster of them, and command records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "host/protocol.h"

namespace hostkit {

// The byte that fills every host-owned byte of a record.
constexpr uint8_t HostByte = 0xA5;

// Fills `record`: every byte HostByte, then the fields, the name with its
// NUL (the bytes after the NUL keep the pattern). False, with `record`
// untouched, when `name` does not fit (135 bytes at most) or holds a NUL.
bool fillRecord(PlayerRecord& record, uint16_t ident, int32_t access, std::string_view name, uint8_t ship);

// A command record whose name and parameter point at the caller's texts
// (which must outlive the record's use); the 16 host bytes are HostByte.
CommandRecord commandRecord(const char* name, const char* params);

// The player records of one bot's host and its roster (the HostPlayerList
// handed to the module at Connect). Each record is a heap block of its own
// at one address until it is released or the roster dies, so a sanitizer
// sees any read of a released record. Only `make` and `join` allocate;
// every other operation is free of allocation and cannot fail.
struct Roster {
    HostPlayerList list{nullptr};

    Roster() = default;
    ~Roster();  // releases every record
    Roster(const Roster&) = delete;
    Roster& operator=(const Roster&) = delete;

    // A new record, not on the roster. A name that does not fit a record is
    // a fault of the calling program: it is reported on stderr and the
    // program aborts.
    PlayerRecord* make(uint16_t ident, int32_t access, std::string_view name, uint8_t ship = 1);
    // A new record appended to the roster.
    PlayerRecord* join(uint16_t ident, int32_t access, std::string_view name, uint8_t ship = 1);
    // Appends a record of this roster that is not on it (an arrival).
    void append(PlayerRecord* player);
    // Takes `player` off the roster; the record stays valid.
    void leave(const PlayerRecord* player);
    // Off the roster, and the record is freed.
    void release(PlayerRecord* player);
    // Frees every record; the roster is empty.
    void clear();

    bool onRoster(const PlayerRecord* player) const;
    // Whether `player` is a record of this roster not yet released.
    bool isLive(const PlayerRecord* player) const;
    // The live record with `ident`, or null.
    PlayerRecord* find(uintptr_t ident) const;
    // The live records, oldest first.
    size_t count() const { return players.size(); }
    PlayerRecord* at(size_t index) const;

   private:
    struct Player {
        PlayerRecord record;
        HostPlayerNode node;
    };
    std::vector<Player*> players;
    Player* entryOf(const PlayerRecord* player) const;
};

}  // namespace hostkit
