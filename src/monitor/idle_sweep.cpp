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
    // Every idle entry leaves the table first, in table order, before the
    // host is called at all: a host that re-enters `talk` from its callback
    // may change the table while the messages go out. Moving a node
    // allocates nothing.
    WatchTable::Node* node = watchTable.firstNode;
    while (node != nullptr) {
        WatchTable::Node* next = node->nextNode;
        const uint32_t elapsed = (now - node->item->lastActive) / 1000u;  // modulo 2^32
        if (elapsed >= threshold) spectating.appendNode(watchTable.unlink(node));
        node = next;
    }
    // A sweep re-entered while one is sending leaves its players to it.
    if (sweeping) return;
    sweeping = true;
    // A pending entry's record is valid: its departure would have removed it.
    while (spectating.firstNode != nullptr) {
        const Addressee to(*this, spectating.firstNode->item->player);
        spectating.remove(spectating.firstNode);
        sendPrivate(to, SpecCommand);
        sendPrivate(to, SpecCommand);
        // Composed afresh per player (a sweep that finds nobody idle
        // allocates nothing); skipped whole if memory is short.
        String explanation;
        if (explanation.assign(ExplanationHead) && explanation.append(static_cast<int32_t>(afkTime)) &&
            explanation.append(ExplanationTail)) {
            sendPrivate(to, explanation.c_str());
        }
    }
    sweeping = false;
}

}  // namespace idlewarden
