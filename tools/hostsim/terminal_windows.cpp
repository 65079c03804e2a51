#include <io.h>
#include <stdio.h>

#include "terminal.h"

namespace hostsim {

bool stdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
bool stdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

}  // namespace hostsim
