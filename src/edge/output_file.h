// The one rule for every file a program of the suite writes (sdofresp keeps its own, which
// cuts a file at its first write and hands it whole lines only):
// - an output never replaces a file the run reads, nor another output of the run (told by
//   device and inode, so that two names of one file are one file);
// - a regular file is written to a temporary beside it and renamed over it only when whole:
//   whatever ends the run, the file holds its old content or the new one, never part of it;
// - an existing target keeps its permissions and owner, or is not replaced: a file this process
//   could not write, or that has no write permission bit (protected even from root), or that
//   could not be given back to its owner, is refused;
// - a target that is a device or a FIFO is written in place, a symbolic link is followed;
// - a temporary is removed on failure and on SIGINT, SIGTERM, SIGHUP and SIGPIPE.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/status.h"
#include "edge/disk.h"

namespace edge {

class output_file {
 public:
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;
  // Not committed: the temporary is removed and the target stays as it was.
  ~output_file();

  // Buffered; false once a write has failed (commit then says why).
  bool write(std::string_view text);
  // Makes the output whole: the temporary renamed over the target, or the rest written in
  // place. Ok, or why not (the target then as it was).
  base::status commit();
  // As given on the command line ("-" for standard output).
  const std::string& name() const { return name_; }

 private:
  friend class run_files;
  output_file(disk& d, std::string name, std::string target, int handle, std::string temporary);
  bool flush();

  disk& disk_;
  std::string name_, target_, temporary_;
  int handle_;
  int error_ = 0;
  bool committed_ = false;
  std::string buffer_;
};

// What one run reads and writes.
class run_files {
 public:
  explicit run_files(disk& d) : disk_(d) {}

  // A file the run reads: no output may be it.
  void add_input(const std::string& path);
  // The output for a path ("-": standard output), ready for writing; nullptr with why when it
  // breaks the rule or cannot be made.
  std::unique_ptr<output_file> claim(const std::string& path, base::status& why);
  disk& files() { return disk_; }

 private:
  disk& disk_;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> inputs_, outputs_;  // device, inode
  std::vector<std::string> new_outputs_;  // resolved names of outputs that did not exist
  bool standard_output_ = false;
};

// A folder for outputs (--plot DIR): made if missing, its parent must exist (one level, so that
// a mistyped path makes no tree of folders). Ok, or why not.
base::status make_output_folder(disk& d, const std::string& path);

}  // namespace edge
