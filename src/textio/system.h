// The operating system as the text layer sees it: files by handle, the console, and the end of
// the process. The real one (system.cc) is the only code that calls the operating system; tests
// put an in-memory one in its place that can fail on command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace textio {

// Handles of the standard streams.
inline constexpr int standard_input = 0;
inline constexpr int standard_output = 1;
inline constexpr int standard_error = 2;

enum class open_mode {
  update,             // an existing file, for reading and writing, nothing truncated
  read_only,          // an existing file, for reading
  write_only,         // an existing file, for writing, nothing truncated
  create_update,      // created if missing, for reading and writing
  create_write_only,  // created if missing, for writing
};

struct file_status {
  bool exists = false;
  bool regular = false;  // a regular file: it can be cut, and a read ends at its end
  bool pipe = false;     // a FIFO or a pipe: a read ends only when its writers close it
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

struct write_result {
  std::size_t written = 0;  // bytes the file took, all of them unless error is set
  int error = 0;            // errno of the failure that stopped the write
};

class system_interface {
 public:
  virtual ~system_interface() = default;

  // A handle (0 or more) for the named file, or -errno.
  virtual int open(const std::string& name, open_mode mode) = 0;
  // What the name refers to (following links); exists is false when nothing can be found.
  virtual file_status status(const std::string& name) = 0;
  virtual file_status status(int handle) = 0;
  // Up to n bytes: the count, 0 at the end of the input, or -errno.
  virtual long read(int handle, char* buffer, std::size_t n) = 0;
  // All n bytes, unless a failure stops the write part-way.
  virtual write_result write(int handle, const char* data, std::size_t n) = 0;
  // Cuts the file to its first size bytes: 0 or errno.
  virtual int truncate(int handle, std::uint64_t size) = 0;
  // 0 or errno; the handle is gone either way.
  virtual int close(int handle) = 0;
  // Returns when the handle has input, or at once when a signal is pending: a console or a
  // pipe may keep the program waiting, and a signal must end that wait.
  virtual void wait_for_input(int handle) = 0;
  // The operating system's text for an errno.
  virtual std::string error_text(int number) = 0;
  // The end of the process: an exit with the status, or an abnormal end.
  [[noreturn]] virtual void exit(int status) = 0;
  [[noreturn]] virtual void abort() = 0;
};

// The operating system itself. prepare_process makes sure that the standard streams are open
// (on /dev/null where they were closed, so that no file of the program ever takes their place)
// and installs the signal handlers.
system_interface& real_system();
void prepare_process();

// A request to back [start, start + size) with huge pages; nothing happens where the system
// has none.
void advise_huge_pages(void* start, std::size_t size);

}  // namespace textio
