// A failed I/O operation as a value: what failed and its error number. The statement layer
// turns it into the run-time error report.
#pragma once

namespace textio {

// Error numbers: -1 the end of the input; 0 to 99 the operating system's (errno); from 100 on
// the run-time's own, each with a fixed text.
inline constexpr int end_of_input = -1;
inline constexpr int null_file_name = 107;
inline constexpr int truncation_failed = 111;
inline constexpr int incomprehensible_list_input = 112;
inline constexpr int cannot_read_file = 126;
inline constexpr int cannot_write_file = 127;
inline constexpr int overwrites_record = 133;

struct io_error {
  const char* context = nullptr;  // the operation that failed, as the report names it
  int number = 0;

  explicit operator bool() const { return context != nullptr; }
};

}  // namespace textio
