// The start of a run: what happens before and after the program's main routine.
#pragma once

#include "edge/disk.h"

namespace textio {

// Runs the program as a process: standard streams made safe, signal handlers installed, the
// console units connected; every unit is disconnected when the program returns (status 0).
int start(void (*program)());

// Runs the program with all I/O through the given system (the process is left as it is).
int run(edge::disk& system, void (*program)());

}  // namespace textio
