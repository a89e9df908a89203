// The operating system as the suite sees it: files by name and by handle, the console, and the
// end of the process. The real one (real_disk.cc) is the only code that calls the operating
// system for files; tests put an in-memory one in its place that can fail on command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace edge {

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
  bool folder = false;
  unsigned permissions = 0;  // the mode's permission bits (0644...)
  std::uint64_t owner = 0, group = 0;
  std::uint64_t size = 0;  // of a regular file, bytes
};

struct write_result {
  std::size_t written = 0;  // bytes the file took, all of them unless error is set
  int error = 0;            // errno of the failure that stopped the write
};

// A new file, empty and open for writing, whose name no other file had.
struct temporary {
  int handle = -1;  // or -errno
  std::string name;
};

class disk {
 public:
  virtual ~disk() = default;

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

  // A temporary in the folder ("" the current one), with a short unique name: until it is
  // renamed or removed, a signal that ends the process removes it.
  virtual temporary create_temporary(const std::string& folder) = 0;
  // Replaces `to` with `from` in one step: 0 or errno.
  virtual int rename(const std::string& from, const std::string& to) = 0;
  // Removes a file: 0 or errno.
  virtual int remove(const std::string& name) = 0;
  // Makes one folder (its parent must exist): 0, or errno (EEXIST when it is there).
  virtual int make_folder(const std::string& name) = 0;
  // The file a path names once its links are followed, or the path itself when it names none.
  virtual std::string resolve(const std::string& name) = 0;
  // Gives an open file these permission bits, owner and group: 0 or errno.
  virtual int set_owner_and_permissions(int handle, unsigned permissions, std::uint64_t owner,
                                        std::uint64_t group) = 0;
  // The permission bits a new file gets (0666 less the process's umask).
  virtual unsigned new_file_permissions() = 0;
  // Whether this process may write the named file.
  virtual bool writable(const std::string& name) = 0;
  // Whether the handle is a terminal.
  virtual bool terminal(int handle) = 0;
};

// The operating system itself.
disk& real_disk();

// For sdofresp: makes sure that the standard streams are open (on /dev/null where they were
// closed, so that no file of the program ever takes their place) and notes SIGINT, SIGTERM,
// SIGFPE and SIGABRT for the text layer to act on (edge/signals.h).
void prepare_console_process();

// For sdofspec and sdofplot: on SIGINT, SIGTERM, SIGHUP and SIGPIPE the temporaries not yet
// renamed are removed, then the signal ends the process as it would have.
void remove_temporaries_on_signals();

// A request to back [start, start + size) with huge pages; nothing happens where the system
// has none.
void advise_huge_pages(void* start, std::size_t size);

}  // namespace edge
