// InstanceRegistry: every bot instance of the module, by host handle.
//
// One per loaded module (tests and fuzzers make their own). Instances come
// into being with the first event of their handle, stay in the order their
// handles were first seen, and are released only by `teardown`.
#pragma once

#include "host/bot_instance.h"
#include "kit/linked_list.h"

namespace idlewarden {

struct InstanceRegistry {
    LinkedList<BotInstance> instances;

    InstanceRegistry() = default;
    ~InstanceRegistry() { teardown(); }
    InstanceRegistry(const InstanceRegistry&) = delete;
    InstanceRegistry& operator=(const InstanceRegistry&) = delete;

    // The instance of `handle` (full width), or null.
    BotInstance* findInstance(uintptr_t handle) const;
    // A new instance appended at the tail; null when memory is short (the
    // registry is then unchanged).
    BotInstance* createInstance(uintptr_t handle);
    // What `talk` does: find or create the instance, then dispatch. An event
    // whose instance cannot be created is dropped.
    void deliver(const BotEvent& event);
    // Releases every instance with its tables; sends nothing, writes nothing.
    void teardown();
};

}  // namespace idlewarden
