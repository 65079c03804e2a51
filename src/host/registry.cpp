#include "host/registry.h"

#include <new>

namespace idlewarden {

BotInstance* InstanceRegistry::findInstance(uintptr_t handle) const {
    auto* node = instances.findFirst([handle](const BotInstance& bot) { return bot.handle == handle; });
    return node == nullptr ? nullptr : node->item;
}

BotInstance* InstanceRegistry::createInstance(uintptr_t handle) {
    auto* bot = new (std::nothrow) BotInstance(handle);
    if (bot == nullptr) return nullptr;
    // append releases the instance itself when its node cannot be had.
    return instances.append(bot) ? bot : nullptr;
}

void InstanceRegistry::deliver(const BotEvent& event) {
    BotInstance* bot = findInstance(event.handle);
    if (bot == nullptr) bot = createInstance(event.handle);
    if (bot == nullptr) return;
    bot->dispatch(event);
}

void InstanceRegistry::teardown() { instances.clear(); }

}  // namespace idlewarden
