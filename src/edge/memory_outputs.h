// A disk that reads through another and keeps in memory every file written: a run whose
// outputs are claimed through it writes nothing to the files, and its outputs are strings once
// committed. Names that begin with "memory:" are the memory's (none exists until one is
// committed under it); every other name is the files'. For callers that want a program's
// outputs as values (the Python module).
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "edge/disk.h"

namespace edge {

class memory_outputs final : public disk {
 public:
  explicit memory_outputs(disk& files) : files_(files) {}

  static constexpr std::string_view prefix = "memory:";

  // What was committed under a name (claimed as that name): empty where nothing was.
  std::string take(const std::string& name);

  int open(const std::string& name, open_mode mode) override;
  file_status status(const std::string& name) override;
  file_status status(int handle) override;
  long read(int handle, char* buffer, std::size_t n) override;
  write_result write(int handle, const char* data, std::size_t n) override;
  int truncate(int handle, std::uint64_t size) override;
  int close(int handle) override;
  void wait_for_input(int handle) override { files_.wait_for_input(handle); }
  std::string error_text(int number) override { return files_.error_text(number); }
  [[noreturn]] void exit(int status) override;
  [[noreturn]] void abort() override;
  temporary create_temporary(const std::string& folder) override;
  int rename(const std::string& from, const std::string& to) override;
  int remove(const std::string& name) override;
  int make_folder(const std::string& name) override;
  std::string resolve(const std::string& name) override;
  int set_owner_and_permissions(int handle, unsigned permissions, std::uint64_t owner,
                                std::uint64_t group) override;
  unsigned new_file_permissions() override { return 0644; }
  bool writable(const std::string&) override { return true; }
  bool terminal(int) override { return false; }

 private:
  // Handles of files in memory start here, far above any the system gives out.
  static constexpr int first_handle = 1 << 24;
  bool in_memory(int handle) const { return handle >= first_handle; }
  static bool in_memory(const std::string& name) { return name.starts_with(prefix); }

  disk& files_;
  std::map<int, std::string> temporaries_;       // handle: name
  std::map<std::string, std::string> contents_;  // name: text
  int next_handle_ = first_handle;
};

}  // namespace edge
