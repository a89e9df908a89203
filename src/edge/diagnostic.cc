#include "edge/diagnostic.h"

#include "base/strings.h"

namespace edge {

std::string diagnostic(std::string_view program, const base::status& s, bool warning) {
  std::string line(program);
  line += ": ";
  if (warning) line += "warning: ";
  return line + located(s);
}

std::string located(const base::status& s) {
  std::string line;
  if (!s.file.empty()) {
    line += base::printable(s.file, 4096);
    if (s.at_byte) {
      line += ": byte " + std::to_string(s.byte);
    } else if (s.line > 0) {
      line += ':' + std::to_string(s.line);
    }
    line += ": ";
  }
  return line + base::printable(s.what, 4096);
}

int exit_status(const base::status& s) {
  if (s.ok()) return 0;
  return s.code == base::code::usage ? 2 : 1;
}

}  // namespace edge
