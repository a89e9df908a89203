// The program's main routine: the console dialogue, the record, the ground velocities, the
// three responses and their files. It ends the process and never returns.
#pragma once

namespace response {

[[noreturn]] void main_program();

}  // namespace response
