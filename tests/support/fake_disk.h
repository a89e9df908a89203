// An operating system in memory, for running the program without files or a fork: files are
// strings, the console is three strings, and any operation can fail or end the process on
// command. Exit and abort end the run by throwing process_end.
#pragma once

#include <cerrno>
#include <cstddef>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "edge/disk.h"

namespace testing_support {

// How a run under the fake system ended.
struct process_end {
  int status = 0;
  bool aborted = false;  // an abnormal end
  bool killed = false;   // ended from outside, as by SIGKILL
};

class fake_disk final : public edge::disk {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> pipes;               // names that are pipes rather than regular files
  std::set<std::string> devices;             // names that are devices (/dev/null): written in place
  std::set<std::string> folders;             // besides the current one
  std::map<std::string, std::string> links;  // symbolic links: name to the file it names
  std::set<std::string> read_only;           // files this process may not write
  std::set<std::string> foreign;             // files another user owns
  std::map<std::string, unsigned> permissions;  // set on files, 0644 where not
  std::string input;                            // what is typed at the console, read in order
  std::string output;                           // standard output
  std::string error;                            // standard error
  std::vector<std::string> log;                 // opens, truncations and closes, in order

  // The named file (or "<output>" for standard output) takes bytes more bytes, then every
  // write to it fails with the errno.
  void fail_writes_after(const std::string& name, std::size_t bytes, int number = ENOSPC) {
    write_limits_[name] = {bytes, number};
  }
  void fail_close(const std::string& name, int number = EIO) { close_failures_[name] = number; }
  // The process ends, as killed from outside, right after the count-th write to the file.
  void kill_after_writes(const std::string& name, int count) { kills_[name] = count; }
  // The signal arrives while the file is being written (at each write to it).
  void signal_on_write(const std::string& name, int number) { signals_[name] = number; }

  int open(const std::string& name, edge::open_mode mode) override;
  edge::file_status status(const std::string& name) override;
  edge::file_status status(int handle) override;
  long read(int handle, char* buffer, std::size_t n) override;
  edge::write_result write(int handle, const char* data, std::size_t n) override;
  int truncate(int handle, std::uint64_t size) override;
  int close(int handle) override;
  edge::temporary create_temporary(const std::string& folder) override;
  int rename(const std::string& from, const std::string& to) override;
  int remove(const std::string& name) override;
  int make_folder(const std::string& name) override;
  std::string resolve(const std::string& name) override;
  int set_owner_and_permissions(int handle, unsigned permissions, std::uint64_t owner,
                                std::uint64_t group) override;
  unsigned new_file_permissions() override { return 0644; }
  bool writable(const std::string& name) override {
    const std::lock_guard lock(guard_);
    return read_only.count(resolve(name)) == 0;
  }
  bool terminal(int) override { return false; }
  // The temporaries made and not yet renamed or removed.
  std::set<std::string> temporaries;
  void wait_for_input(int) override {}
  std::string error_text(int number) override;
  [[noreturn]] void exit(int status) override { throw process_end{status, false, false}; }
  [[noreturn]] void abort() override { throw process_end{0, true, false}; }

 private:
  struct open_file {
    std::string name;
    std::size_t position = 0;
    bool readable = false;
    bool writable = false;
  };
  struct limit {
    std::size_t bytes;
    int number;
  };
  std::string name_of(int handle) const;

  // The programs read records on worker threads: every call that reads or changes the state
  // holds this (some call others).
  std::recursive_mutex guard_;
  std::map<int, open_file> open_;
  int next_handle_ = 3;
  int next_temporary_ = 0;
  bool parent_exists(const std::string& name) const;
  std::size_t input_position_ = 0;
  std::map<std::string, limit> write_limits_;
  std::map<std::string, int> close_failures_;
  std::map<std::string, int> kills_;
  std::map<std::string, int> signals_;
};

// Runs sdofresp's main routine under the fake system, from a fresh start.
process_end run_in_memory(fake_disk& system);

}  // namespace testing_support
