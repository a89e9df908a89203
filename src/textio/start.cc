#include "textio/start.h"

#include <cstdlib>

#include "textio/signals.h"
#include "textio/units.h"

namespace textio {

int start(void (*program)()) {
  install_signal_handlers();
  connect_console_units();
  std::atexit(disconnect_all_units);
  program();
  return 0;
}

}  // namespace textio
