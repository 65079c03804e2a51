// Loading the module file through the system's dynamic loader, as the host
// does: dlopen(RTLD_NOW | RTLD_LOCAL) + dlsym on POSIX
// (module_loader_posix.cpp), LoadLibraryA + GetProcAddress on Windows
// (module_loader_windows.cpp, which also points the module's clock at the
// virtual clock before `talk` can run, so a Windows program links the
// virtual_clock target too). Nothing here throws: every failure is a result
// with a message.
#pragma once

#include <string>

#include "host/protocol.h"

namespace hostkit {

// `talk` has the host callback's form and calling convention.
using TalkFunction = HostCallback;

struct LoadedModule {
    void* library = nullptr;      // the system's handle of the loaded file
    TalkFunction talk = nullptr;  // the module's entry point

    void send(BotEvent e) const { talk(e); }
};

// The module's file name on this system ("idlewarden.so", "idlewarden.dll").
const char* moduleFileName();

// Loads the file at `path` and finds its entry point `talk`. On failure
// returns false with `error` set to a one-line explanation; nothing stays
// loaded and `module` is unchanged.
bool loadModule(const std::string& path, LoadedModule& module, std::string& error);

// Unloads a module loaded by loadModule (its teardown runs) and empties
// `module`. True when the system unloaded it or there was nothing to unload.
bool unloadModule(LoadedModule& module);

}  // namespace hostkit
