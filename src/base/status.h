// One failure value for the whole suite: what kind of failure, where it happened (a file, a line
// and column of text, or a byte offset of binary data) and what is wrong. Readers and parsers
// return it; only the programs turn it into words on standard error and an exit status.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

namespace base {

enum class code : unsigned char {
  ok,
  bad_input,  // a record, a list or a value that cannot be read: status 1
  usage,      // a command line that cannot be run: status 2
  io,         // the operating system refused: status 1
  limit,      // within the rules but beyond what the program takes (too many samples): status 1
};

struct status {
  base::code code = code::ok;
  std::string file;        // empty where the caller knows it
  std::size_t line = 0;    // 1-based line of text; 0 when not known or not text
  std::size_t column = 0;  // 1-based column of that line; 0 when not known
  std::size_t byte = 0;    // offset in binary data, when at_byte
  bool at_byte = false;    // where is a byte offset rather than a line
  std::string what;

  bool ok() const { return code == code::ok; }
  explicit operator bool() const { return !ok(); }
};

// A failure at a line (and column) of text.
inline status failure_at_line(std::size_t line, std::string what, std::size_t column = 0,
                              code c = code::bad_input) {
  return {.code = c, .line = line, .column = column, .what = std::move(what)};
}
// A failure at a byte offset of binary data.
inline status failure_at_byte(std::size_t byte, std::string what, code c = code::bad_input) {
  return {.code = c, .byte = byte, .at_byte = true, .what = std::move(what)};
}
// A failure that is not tied to a place in a file.
inline status failure(std::string what, code c = code::bad_input) {
  return {.code = c, .what = std::move(what)};
}

}  // namespace base
