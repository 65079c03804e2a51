// POSIX module loading: dlopen with RTLD_NOW | RTLD_LOCAL, as the host does,
// so that a module with an unresolved symbol fails here and not in the middle
// of a scenario.
#include <dlfcn.h>

#include "module_loader.h"

namespace hostkit {

const char* moduleFileName() { return "idlewarden.so"; }

bool loadModule(const std::string& path, LoadedModule& module, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        error = "cannot load module " + path + ": " + (why != nullptr ? why : "unknown error");
        return false;
    }
    dlerror();
    void* symbol = dlsym(library, "talk");
    if (symbol == nullptr) {
        error = "module " + path + " has no entry point `talk`";
        dlclose(library);
        return false;
    }
    module.library = library;
    module.talk = reinterpret_cast<TalkFunction>(symbol);
    return true;
}

bool unloadModule(LoadedModule& module) {
    const bool unloaded = module.library == nullptr || dlclose(module.library) == 0;
    module = LoadedModule{};
    return unloaded;
}

}  // namespace hostkit
