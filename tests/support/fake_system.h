// An operating system in memory, for running the program without files or a fork: files are
// strings, the console is three strings, and any operation can fail or end the process on
// command. Exit and abort end the run by throwing process_end.
#pragma once

#include <cerrno>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "textio/system.h"

namespace testing_support {

// How a run under the fake system ended.
struct process_end {
  int status = 0;
  bool aborted = false;  // an abnormal end
  bool killed = false;   // ended from outside, as by SIGKILL
};

class fake_system final : public textio::system_interface {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> pipes;   // names that are pipes rather than regular files
  std::string input;             // what is typed at the console, read in order
  std::string output;            // standard output
  std::string error;             // standard error
  std::vector<std::string> log;  // opens, truncations and closes, in order

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

  int open(const std::string& name, textio::open_mode mode) override;
  textio::file_status status(const std::string& name) override;
  textio::file_status status(int handle) override;
  long read(int handle, char* buffer, std::size_t n) override;
  textio::write_result write(int handle, const char* data, std::size_t n) override;
  int truncate(int handle, std::uint64_t size) override;
  int close(int handle) override;
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

  std::map<int, open_file> open_;
  int next_handle_ = 3;
  std::size_t input_position_ = 0;
  std::map<std::string, limit> write_limits_;
  std::map<std::string, int> close_failures_;
  std::map<std::string, int> kills_;
  std::map<std::string, int> signals_;
};

// Runs sdofresp's main routine under the fake system, from a fresh start.
process_end run_in_memory(fake_system& system);

}  // namespace testing_support
