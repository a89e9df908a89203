#include "support/fake_system.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "response/main_program.h"
#include "textio/signals.h"
#include "textio/start.h"

namespace testing_support {

using textio::file_status;
using textio::open_mode;

int fake_system::open(const std::string& name, open_mode mode) {
  const bool exists = files.count(name) != 0;
  const bool creates = mode == open_mode::create_update || mode == open_mode::create_write_only;
  if (!exists && !creates) return -ENOENT;
  if (!exists && name.find('/') != std::string::npos) return -ENOENT;  // no folders here
  files[name];
  open_file file;
  file.name = name;
  file.readable = mode != open_mode::write_only && mode != open_mode::create_write_only;
  file.writable = mode != open_mode::read_only;
  const char* const mode_names[] = {"update", "read-only", "write-only", "create", "create-write"};
  log.push_back("open " + name + " " + mode_names[static_cast<int>(mode)]);
  open_[next_handle_] = file;
  return next_handle_++;
}

file_status fake_system::status(const std::string& name) {
  file_status s;
  if (files.count(name) == 0) return s;
  s.exists = true;
  s.pipe = pipes.count(name) != 0;
  s.regular = !s.pipe;
  s.inode = std::hash<std::string>()(name);
  return s;
}

file_status fake_system::status(int handle) {
  if (handle <= textio::standard_error) return {true, false, false, 0, 0};
  return status(name_of(handle));
}

long fake_system::read(int handle, char* buffer, std::size_t n) {
  if (handle == textio::standard_input) {
    const std::size_t count = std::min(n, input.size() - input_position_);
    std::memcpy(buffer, input.data() + input_position_, count);
    input_position_ += count;
    return static_cast<long>(count);
  }
  if (open_.count(handle) == 0 || !open_[handle].readable) return -EBADF;
  open_file& file = open_[handle];
  const std::string& text = files[file.name];
  const std::size_t count = std::min(n, text.size() - std::min(text.size(), file.position));
  std::memcpy(buffer, text.data() + file.position, count);
  file.position += count;
  return static_cast<long>(count);
}

textio::write_result fake_system::write(int handle, const char* data, std::size_t n) {
  const std::string name = name_of(handle);
  textio::write_result result{n, 0};
  if (auto it = write_limits_.find(name); it != write_limits_.end()) {
    if (n > it->second.bytes) result = {it->second.bytes, it->second.number};
    it->second.bytes -= result.written;
  }
  if (handle == textio::standard_output || handle == textio::standard_error) {
    (handle == textio::standard_output ? output : error).append(data, result.written);
  } else {
    if (open_.count(handle) == 0 || !open_[handle].writable) return {0, EBADF};
    open_file& file = open_[handle];
    std::string& text = files[file.name];
    if (text.size() < file.position + result.written) text.resize(file.position + result.written);
    text.replace(file.position, result.written, data, result.written);
    file.position += result.written;
  }
  if (auto it = signals_.find(name); it != signals_.end()) textio::note_signal(it->second);
  if (auto it = kills_.find(name); it != kills_.end() && --it->second == 0) {
    throw process_end{0, false, true};
  }
  return result;
}

int fake_system::truncate(int handle, std::uint64_t size) {
  if (open_.count(handle) == 0) return EBADF;
  log.push_back("truncate " + name_of(handle) + " " + std::to_string(size));
  files[name_of(handle)].resize(size);
  return 0;
}

int fake_system::close(int handle) {
  const std::string name = name_of(handle);
  log.push_back("close " + name);
  open_.erase(handle);
  const auto it = close_failures_.find(name);
  return it == close_failures_.end() ? 0 : it->second;
}

std::string fake_system::error_text(int number) {
  return std::strerror(number);
}

std::string fake_system::name_of(int handle) const {
  if (handle == textio::standard_output) return "<output>";
  if (handle == textio::standard_error) return "<error>";
  const auto it = open_.find(handle);
  return it == open_.end() ? "<closed>" : it->second.name;
}

process_end run_in_memory(fake_system& system) {
  (void)textio::take_pending_signal();
  try {
    textio::run(system, response::main_program);
  } catch (const process_end& end) {
    (void)textio::take_pending_signal();
    return end;
  }
  throw std::logic_error("the program returned instead of stopping");
}

}  // namespace testing_support
