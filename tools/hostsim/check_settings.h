// hostsim --check-settings FILE: explains a settings file as the module
// reads it (docs/hostsim.md).
//
// The module itself is loaded and a bot connects (version 6.6) in a scratch
// directory holding a copy of FILE; what the bot then holds is asked of it
// with a level-12 player's commands. The warnings come from the core
// library's settings check, which applies the module's own reader and rules.
#pragma once

#include <string>

namespace hostsim {

// Prints the bot's state and one "FILE:LINE: warning: TEXT" per ignored or
// changed line or value. Returns the exit status: 0 nothing ignored, 1
// warnings, 2 the file cannot be read, 3 the module cannot be loaded or
// does not answer as expected. `modulePath` is the module file to load.
int checkSettings(const std::string& file, const std::string& modulePath);

}  // namespace hostsim
