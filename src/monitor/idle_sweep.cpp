#include "host/bot_instance.h"
#include "kit/text_string.h"
#include "platform/platform.h"

namespace idlewarden {

namespace {
const char* const SpecCommand = "*spec";
const char* const ExplanationHead = "You have been spectated becuase you have not fired a weapon for the past ";
const char* const ExplanationTail = " mins and are believed to be away from your keyboard!";
constexpr uint16_t SweepPeriod = 60;  // counted ticks between sweeps
}  // namespace

void BotInstance::onTick() {
    if (!enabled) return;
    --tickCounter;
    if (tickCounter % SweepPeriod != 0) return;
    if (watchTable.nodeCount == 0) return;
    // A limit of 0 means none is set: nobody is idle against it.
    if (afkTime == 0) return;
    sweep();
}

void BotInstance::sweep() {
    const uint32_t now = platform::tickCount();
    const uint32_t threshold = static_cast<uint32_t>(afkTime) * 60u;
    WatchTable::Node* node = watchTable.firstNode;
    while (node != nullptr) {
        WatchTable::Node* next = node->nextNode;
        const WatchEntry& entry = *node->item;
        const uint32_t elapsed = (now - entry.lastActive) / 1000u;  // modulo 2^32
        if (elapsed >= threshold) {
            sendPrivate(entry.player, SpecCommand);
            sendPrivate(entry.player, SpecCommand);
            // Composed afresh per player (a sweep that finds nobody idle
            // allocates nothing); skipped whole if memory is short.
            String explanation;
            if (explanation.assign(ExplanationHead) && explanation.append(static_cast<int32_t>(afkTime)) &&
                explanation.append(ExplanationTail)) {
                sendPrivate(entry.player, explanation.c_str());
            }
            watchTable.remove(node);
        }
        node = next;
    }
}

}  // namespace idlewarden
