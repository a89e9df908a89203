// A whole file read into memory, within a bound: a file that claims or grows past it (a
// device that never ends, /dev/zero) is refused with that reason, before memory runs out.
#pragma once

#include <cstddef>
#include <string>

#include "base/status.h"
#include "edge/disk.h"

namespace edge {

struct file_content {
  std::string text;
  base::status status;  // ok, or why the file could not be read (its name in status.file)
};

// "-" is standard input.
file_content read_file(disk& d, const std::string& path, std::size_t most_bytes);

}  // namespace edge
