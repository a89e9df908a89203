// A whole file read into memory, within a bound: a file that claims or grows past it (a
// device that never ends, /dev/zero) is refused with that reason, before memory runs out.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/status.h"
#include "edge/disk.h"

namespace edge {

struct file_content {
  std::string text;
  base::status status;  // ok, or why the file could not be read (its name in status.file)
};

// Ok to go on reading, or why not, for the first bytes of a file (as many as head_bytes, or
// the whole file when it is shorter).
using head_check = std::function<base::status(std::string_view head)>;

// "-" is standard input. With a check, a file whose first bytes cannot begin what the reader
// takes is refused before the rest is read: a device that never ends is not read to the bound.
file_content read_file(disk& d, const std::string& path, std::size_t most_bytes,
                       const head_check& check = nullptr, std::size_t head_bytes = 4096);

}  // namespace edge
