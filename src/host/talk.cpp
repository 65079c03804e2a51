// The module's one exported door. It only finds the instance and dispatches;
// everything else lives in the static library under it.
//
// No exception can leave here: the library is built without exceptions and
// allocates only with non-throwing `new`, so a shortage of memory drops the
// event (or the one step that needed memory) instead of unwinding into the
// host.
#include "host/registry.h"

namespace {
// Constructed at load; its destructor (registered with this module's handle)
// runs the teardown when the host unloads the module.
idlewarden::InstanceRegistry registry;
}  // namespace

#if defined(_WIN32)
#define IDLEWARDEN_EXPORT __declspec(dllexport)
#else
#define IDLEWARDEN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" IDLEWARDEN_EXPORT void IDLEWARDEN_CDECL talk(BotEvent& event) noexcept { registry.deliver(event); }
