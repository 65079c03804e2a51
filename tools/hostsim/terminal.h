// Whether a standard stream is a terminal (for colour and prompts).
// One implementation per system: terminal_posix.cpp, terminal_windows.cpp.
#pragma once

namespace hostsim {

bool stdoutIsTerminal();
bool stdinIsTerminal();

}  // namespace hostsim
