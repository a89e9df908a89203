#include "textio/start.h"

#include "textio/statements.h"
#include "textio/units.h"

namespace textio {

int start(void (*program)()) {
  prepare_process();
  return run(real_system(), program);
}

int run(system_interface& system, void (*program)()) {
  begin_run(system);
  program();
  disconnect_all_units();
  return 0;
}

}  // namespace textio
