// The process start: what runs before and after the program's main routine.
#pragma once

namespace textio {

// Installs the signal handlers, connects the console units, arranges for every unit to be
// disconnected at exit, and runs the program. Returns 0 if the program returns.
int start(void (*program)());

}  // namespace textio
