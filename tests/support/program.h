// Runs the built sdofresp in a folder of its own with scripted console answers, for end-to-end
// tests: standard output, standard error and how the process ended.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace testing_support {

// A fresh folder under the system's temporary directory, removed with everything in it.
class temp_folder {
 public:
  temp_folder();
  ~temp_folder();
  temp_folder(const temp_folder&) = delete;
  temp_folder& operator=(const temp_folder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

 private:
  std::filesystem::path path_;
};

struct program_result {
  std::string out;
  std::string err;
  int exit_status = -1;  // when the process exited
  int signal = 0;        // when a signal ended it

  bool exited_with(int status) const { return signal == 0 && exit_status == status; }
  bool aborted() const;
};

struct start_options {
  bool interrupt_ignored = false;       // as a background job starts
  const char* output_file = nullptr;    // standard output goes to this file instead of a pipe
  bool standard_output_closed = false;  // as with >&-
  bool standard_error_closed = false;   // as with 2>&-
};

// The program running, its console on pipes.
class running_program {
 public:
  explicit running_program(const std::filesystem::path& folder, start_options options = {});
  ~running_program();

  void type(const std::string& text);
  void close_input();
  // Reads standard output until it holds text; false if the deadline passes first.
  bool wait_for_output(const std::string& text,
                       std::chrono::milliseconds limit = std::chrono::seconds(10));
  void send(int signal_number) const;
  // Stops the process (SIGSTOP) and returns once it has stopped.
  void pause() const;
  pid_t pid() const { return pid_; }
  // Closes the input, collects the rest of both streams and waits for the end.
  program_result finish(std::chrono::milliseconds limit = std::chrono::seconds(120));
  // Whether the process is still running after waiting for the given time.
  bool still_running_after(std::chrono::milliseconds time);

 private:
  bool pump(std::chrono::milliseconds wait);  // false once both streams are closed

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  program_result result_;
};

// Runs the whole dialogue with the given console input.
program_result run_program(const std::filesystem::path& folder, const std::string& input);

// A record file: the header line and one line per sample.
std::string record_text(int samples, double dt = 0.01, double first_time = 0.0);

}  // namespace testing_support
