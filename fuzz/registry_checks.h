// Structural checks of a registry and of every list under it, shared by the
// session fuzzer and the allocation-failure suite.
#pragma once

#include <cstdint>

#include "host/registry.h"

namespace checks {

// Walks `list` from the front: links agree both ways, every node has an
// item, the last node is `lastNode`, and the walk is `nodeCount` long.
template <typename T>
bool listConsistent(const idlewarden::LinkedList<T>& list) {
    uint32_t walked = 0;
    const idlewarden::ListNode<T>* previous = nullptr;
    for (const auto* node = list.firstNode; node != nullptr; node = node->nextNode) {
        if (node->prevNode != previous || node->item == nullptr) return false;
        if (++walked > list.nodeCount) return false;
        previous = node;
    }
    return walked == list.nodeCount && list.lastNode == previous;
}

// Null when every list of `registry` is consistent and every instance keeps
// its own rules; otherwise what is broken.
inline const char* registryProblem(const idlewarden::InstanceRegistry& registry) {
    if (!listConsistent(registry.instances)) return "registry list";
    for (auto* node = registry.instances.firstNode; node != nullptr; node = node->nextNode) {
        const idlewarden::BotInstance& bot = *node->item;
        for (auto* other = node->nextNode; other != nullptr; other = other->nextNode) {
            if (other->item->handle == bot.handle) return "two instances of one handle";
        }
        if (!listConsistent(bot.watchTable)) return "watch table list";
        if (!listConsistent(bot.exemptList)) return "exempt list";
        if (!bot.enabled && bot.watchTable.nodeCount != 0) return "watch table filled while checking is off";
        for (auto* e = bot.exemptList.firstNode; e != nullptr; e = e->nextNode) {
            const char* text = e->item->text;
            uint32_t n = 0;
            while (n < idlewarden::ExemptName::Size && text[n] != '\0') ++n;
            if (n == 0 || n > idlewarden::ExemptName::MaxLength) return "exempt name length";
            for (uint32_t i = n; i < idlewarden::ExemptName::Size; ++i) {
                if (text[i] != '\0') return "exempt name not zero-filled";
            }
        }
    }
    return nullptr;
}

}  // namespace checks
