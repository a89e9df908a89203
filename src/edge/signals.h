// Signals as sdofresp sees them: a handler only notes which signal arrived, and the run
// ends in an orderly way at the next record boundary or console wait, where no record is
// half-written.
#pragma once

namespace edge {

// Notes a signal; safe in a signal handler. A later signal replaces an earlier one.
void note_signal(int number);
// The signal noted and not yet acted on, 0 if none.
int pending_signal();
// Takes the pending signal: returns it and clears it.
int take_pending_signal();

}  // namespace edge
