#include "textio/start.h"

#include "textio/statements.h"
#include "textio/units.h"

namespace textio {

int start(void (*program)()) {
  edge::prepare_console_process();
  return run(edge::real_disk(), program);
}

int run(edge::disk& system, void (*program)()) {
  begin_run(system);
  program();
  disconnect_all_units();
  return 0;
}

}  // namespace textio
