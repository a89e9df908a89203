#include "edge/signals.h"

#include <csignal>

namespace edge {
namespace {
volatile std::sig_atomic_t noted = 0;
}  // namespace

void note_signal(int number) {
  noted = number;
}

int pending_signal() {
  return noted;
}

int take_pending_signal() {
  const int number = noted;
  noted = 0;
  return number;
}

}  // namespace edge
