#include "terminal.h"

#include <unistd.h>

namespace hostsim {

bool stdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
bool stdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace hostsim
