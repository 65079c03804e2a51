// Windows module loading: LoadLibraryA and GetProcAddress, as the host does.
// Right after loading, the module's clock is pointed at the host's virtual
// clock (virtual_clock_windows.cpp), before `talk` can run even once.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "module_loader.h"
#include "virtual_clock.h"

namespace hostkit {

const char* moduleFileName() { return "idlewarden.dll"; }

bool loadModule(const std::string& path, LoadedModule& module, std::string& error) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) {
        error = "cannot load module " + path + ": error " + std::to_string(GetLastError());
        return false;
    }
    FARPROC symbol = GetProcAddress(library, "talk");
    if (symbol == nullptr) {
        error = "module " + path + " has no entry point `talk`";
        FreeLibrary(library);
        return false;
    }
    std::string why;
    if (!virtual_clock::attachToModule(library, why)) {
        error = "module " + path + ": " + why;
        FreeLibrary(library);
        return false;
    }
    module.library = library;
    // GetProcAddress returns a generic function pointer; going through
    // void* keeps the conversion free of cast-function-type warnings.
    module.talk = reinterpret_cast<TalkFunction>(reinterpret_cast<void*>(symbol));
    return true;
}

bool unloadModule(LoadedModule& module) {
    const bool unloaded = module.library == nullptr || FreeLibrary(static_cast<HMODULE>(module.library)) != 0;
    module = LoadedModule{};
    return unloaded;
}

}  // namespace hostkit
