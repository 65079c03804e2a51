// One watched player: who, and since when.
#pragma once

#include <cstdint>

#include "kit/linked_list.h"

struct PlayerRecord;

namespace idlewarden {

struct WatchEntry {
    PlayerRecord* player;  // the host's record; the entry's identity
    uint32_t lastActive;   // tick count when watched or when last fired
};

using WatchTable = LinkedList<WatchEntry>;

}  // namespace idlewarden
