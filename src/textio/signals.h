// Signals: the handlers only record what arrived; the run ends in an orderly way at the next
// record boundary or console wait, where no record is half-written.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace textio {

// Floating-point exception, abort and termination always; the interrupt only if it was not
// being ignored when the program started.
void install_signal_handlers();

// If a signal has arrived: writes its message to standard error and ends the run: status 1
// after the exit-time disconnection for an interrupt or a termination request, an abort after
// disconnecting every unit for the others. Returns only when no signal is pending.
void handle_pending_signal();

// A read of a console or pipe that waits with the signals unblocked, so that a signal arriving
// while the program waits for an answer ends the run at once. Returns the count, 0 at the end,
// or -errno.
ssize_t read_interruptibly(int fd, char* buffer, std::size_t n);

}  // namespace textio
