// The words a program writes on standard error for a failure: "sdofspec: FILE:LINE: what",
// "sdofspec: FILE: byte N: what" (binary data), "sdofspec: FILE: what", "sdofspec: what"; a
// warning says so after the program's name. Written here once, for every program. A file's
// bytes never act on the terminal: control characters are shown as \xHH.
#pragma once

#include <string>
#include <string_view>

#include "base/status.h"

namespace edge {

std::string diagnostic(std::string_view program, const base::status& s, bool warning = false);

// The same words without the program's name: "FILE:LINE: what", "FILE: byte N: what",
// "FILE: what" or "what" (the Python module's messages).
std::string located(const base::status& s);

// The exit status of a failure: 2 for a usage error, 1 for any other, 0 for none.
int exit_status(const base::status& s);

}  // namespace edge
