// Loading the module file through the platform's dynamic loader.
//
// One implementation per system: module_loader_posix.cpp (dlopen/dlsym) and
// module_loader_windows.cpp (LoadLibraryA/GetProcAddress, which also hands
// the module the virtual clock). Nothing here throws: every failure is a
// result with a message.
#pragma once

#include <string>

#include "host/protocol.h"

namespace hostsim {

using TalkFunction = void(IDLEWARDEN_CDECL*)(BotEvent&);

struct LoadedModule {
    void* library = nullptr;      // the system's handle of the loaded file
    TalkFunction talk = nullptr;  // the module's entry point
};

// The module's file name on this system ("idlewarden.so", "idlewarden.dll").
const char* moduleFileName();

// Loads the file at `path` and finds its entry point `talk`. On failure
// returns false with `error` set to a one-line explanation, and nothing
// stays loaded.
bool loadModule(const std::string& path, LoadedModule& module, std::string& error);

// Unloads a module loaded by loadModule (its teardown runs); safe on an
// empty LoadedModule.
void unloadModule(LoadedModule& module);

}  // namespace hostsim
