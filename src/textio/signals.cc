// Signal handling that is safe by construction: the handler stores the signal number and
// returns. Everything else (messages, flushing, closing files) runs in the program's own flow.
#include "textio/signals.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "textio/units.h"

namespace textio {
namespace {

volatile std::sig_atomic_t pending_signal = 0;

void write_message(const char* text) {
  const std::size_t length = std::strlen(text);
  [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text, length);
}

void record_signal(int number, siginfo_t* info, void*) {
  // A floating-point fault raised by an instruction cannot be returned to; the arithmetic here
  // runs with exceptions masked, so this only guards against the impossible.
  if (number == SIGFPE && info != nullptr && info->si_code > 0) {
    write_message("Floating Exception\n");
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
  }
  pending_signal = number;
}

sigset_t handled_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int number : {SIGFPE, SIGABRT, SIGINT, SIGTERM}) sigaddset(&set, number);
  return set;
}

// Waits until fd has input or a signal arrives, without the race of a signal landing between
// a check of the flag and the start of a blocking read.
void wait_for_input(int fd) {
  const sigset_t handled = handled_signals();
  sigset_t previous;
  sigprocmask(SIG_BLOCK, &handled, &previous);
  if (pending_signal == 0) {
    pollfd poll_fd{fd, POLLIN, 0};
    ppoll(&poll_fd, 1, nullptr, &previous);
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  handle_pending_signal();
}

}  // namespace

void install_signal_handlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = record_signal;
  action.sa_flags = SA_SIGINFO;  // no SA_RESTART: a waiting read returns on a signal
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, nullptr);
  sigaction(SIGABRT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  struct sigaction interrupt;
  if (sigaction(SIGINT, nullptr, &interrupt) == 0 && interrupt.sa_handler != SIG_IGN) {
    sigaction(SIGINT, &action, nullptr);
  }
}

void handle_pending_signal() {
  const int number = pending_signal;
  if (number == 0) return;
  pending_signal = 0;
  switch (number) {
    case SIGINT:
      write_message("Interrupt\n");
      std::exit(1);  // the exit-time disconnection flushes and closes every unit
    case SIGTERM:
      write_message("Killed\n");
      std::exit(1);
    default:
      write_message(number == SIGFPE ? "Floating Exception\n" : "IOT Trap\n");
      disconnect_all_units();
      std::signal(SIGABRT, SIG_DFL);
      std::abort();
  }
}

ssize_t read_interruptibly(int fd, char* buffer, std::size_t n) {
  for (;;) {
    wait_for_input(fd);
    const ssize_t count = ::read(fd, buffer, n);
    if (count >= 0) return count;
    if (errno != EINTR && errno != EAGAIN) return -errno;
  }
}

}  // namespace textio
