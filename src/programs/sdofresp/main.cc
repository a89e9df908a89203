// sdofresp: the response of a single-degree-of-freedom oscillator to a ground-motion record.
#include "response/main_program.h"
#include "textio/start.h"

int main() {
  return textio::start(response::main_program);
}
