#include "support/fake_disk.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "edge/signals.h"
#include "response/main_program.h"
#include "textio/start.h"

namespace testing_support {

using edge::file_status;
using edge::open_mode;

bool fake_disk::parent_exists(const std::string& name) const {
  const std::size_t slash = name.rfind('/');
  return slash == std::string::npos || folders.count(name.substr(0, slash)) != 0;
}

int fake_disk::open(const std::string& given, edge::open_mode mode) {
  const std::lock_guard lock(guard_);
  const std::string name = resolve(given);
  if (folders.count(name) != 0 && mode == edge::open_mode::read_only) {
    open_[next_handle_] = {name, 0, true, false};
    return next_handle_++;
  }
  const bool exists = files.count(name) != 0 || devices.count(name) != 0;
  const bool creates =
      mode == edge::open_mode::create_update || mode == edge::open_mode::create_write_only;
  if (!exists && !creates) return -ENOENT;
  if (!exists && !parent_exists(name)) return -ENOENT;
  if (mode != edge::open_mode::read_only && read_only.count(name) != 0) return -EACCES;
  if (devices.count(name) == 0) files[name];
  open_file file;
  file.name = name;
  file.readable = mode != edge::open_mode::write_only && mode != edge::open_mode::create_write_only;
  file.writable = mode != edge::open_mode::read_only;
  const char* const mode_names[] = {"update", "read-only", "write-only", "create", "create-write"};
  log.push_back("open " + name + " " + mode_names[static_cast<int>(mode)]);
  open_[next_handle_] = file;
  return next_handle_++;
}

edge::file_status fake_disk::status(const std::string& given) {
  const std::lock_guard lock(guard_);
  const std::string name = resolve(given);
  edge::file_status s;
  s.inode = std::hash<std::string>()(name);
  if (folders.count(name) != 0) {
    s.exists = s.folder = true;
    return s;
  }
  if (files.count(name) == 0 && devices.count(name) == 0) return s;
  s.exists = true;
  s.pipe = pipes.count(name) != 0;
  s.regular = !s.pipe && devices.count(name) == 0;
  s.size = s.regular ? files[name].size() : 0;
  const auto p = permissions.find(name);
  s.permissions = p == permissions.end() ? 0644 : p->second;
  s.owner = foreign.count(name) != 0 ? 1000 : 0;
  return s;
}

edge::file_status fake_disk::status(int handle) {
  const std::lock_guard lock(guard_);
  if (handle <= edge::standard_error) return {.exists = true};
  return status(name_of(handle));
}

long fake_disk::read(int handle, char* buffer, std::size_t n) {
  const std::lock_guard lock(guard_);
  if (handle == edge::standard_input) {
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

edge::write_result fake_disk::write(int handle, const char* data, std::size_t n) {
  const std::lock_guard lock(guard_);
  const std::string name = name_of(handle);
  edge::write_result result{n, 0};
  if (auto it = write_limits_.find(name); it != write_limits_.end()) {
    if (n > it->second.bytes) result = {it->second.bytes, it->second.number};
    it->second.bytes -= result.written;
  }
  if (handle == edge::standard_output || handle == edge::standard_error) {
    (handle == edge::standard_output ? output : error).append(data, result.written);
  } else {
    if (open_.count(handle) == 0 || !open_[handle].writable) return {0, EBADF};
    open_file& file = open_[handle];
    if (devices.count(file.name) != 0) return result;  // a device takes everything, keeps nothing
    std::string& text = files[file.name];
    if (text.size() < file.position + result.written) text.resize(file.position + result.written);
    text.replace(file.position, result.written, data, result.written);
    file.position += result.written;
  }
  if (auto it = signals_.find(name); it != signals_.end()) edge::note_signal(it->second);
  if (auto it = kills_.find(name); it != kills_.end() && --it->second == 0) {
    throw process_end{0, false, true};
  }
  return result;
}

int fake_disk::truncate(int handle, std::uint64_t size) {
  const std::lock_guard lock(guard_);
  if (open_.count(handle) == 0) return EBADF;
  log.push_back("truncate " + name_of(handle) + " " + std::to_string(size));
  files[name_of(handle)].resize(size);
  return 0;
}

int fake_disk::close(int handle) {
  const std::lock_guard lock(guard_);
  const std::string name = name_of(handle);
  log.push_back("close " + name);
  open_.erase(handle);
  const auto it = close_failures_.find(name);
  return it == close_failures_.end() ? 0 : it->second;
}

edge::temporary fake_disk::create_temporary(const std::string& folder) {
  const std::lock_guard lock(guard_);
  if (!folder.empty() && folders.count(folder) == 0) return {-ENOENT, {}};
  const std::string name =
      (folder.empty() ? "" : folder + "/") + ".sdof-" + std::to_string(next_temporary_++);
  files[name];
  temporaries.insert(name);
  log.push_back("temporary " + name);
  open_[next_handle_] = {name, 0, false, true};
  return {next_handle_++, name};
}

int fake_disk::rename(const std::string& from, const std::string& to) {
  const std::lock_guard lock(guard_);
  if (files.count(from) == 0) return ENOENT;
  if (!parent_exists(to)) return ENOENT;
  log.push_back("rename " + from + " " + to);
  files[to] = std::move(files[from]);
  files.erase(from);
  if (const auto p = permissions.find(from); p != permissions.end()) {
    permissions[to] = p->second;
    permissions.erase(p);
  }
  temporaries.erase(from);
  return 0;
}

int fake_disk::remove(const std::string& name) {
  const std::lock_guard lock(guard_);
  log.push_back("remove " + name);
  temporaries.erase(name);
  return files.erase(name) != 0 ? 0 : ENOENT;
}

int fake_disk::make_folder(const std::string& name) {
  const std::lock_guard lock(guard_);
  if (folders.count(name) != 0 || files.count(name) != 0) return EEXIST;
  if (!parent_exists(name)) return ENOENT;
  folders.insert(name);
  return 0;
}

std::string fake_disk::resolve(const std::string& name) {
  const std::lock_guard lock(guard_);
  const auto it = links.find(name);
  return it == links.end() ? name : it->second;
}

int fake_disk::set_owner_and_permissions(int handle, unsigned bits, std::uint64_t owner,
                                         std::uint64_t) {
  const std::lock_guard lock(guard_);
  if (owner != 0) return EPERM;  // this process is not root: it cannot give a file away
  permissions[name_of(handle)] = bits;
  return 0;
}

std::string fake_disk::error_text(int number) {
  return std::strerror(number);
}

std::string fake_disk::name_of(int handle) const {
  if (handle == edge::standard_output) return "<output>";
  if (handle == edge::standard_error) return "<error>";
  const auto it = open_.find(handle);
  return it == open_.end() ? "<closed>" : it->second.name;
}

process_end run_in_memory(fake_disk& system) {
  (void)edge::take_pending_signal();
  try {
    textio::run(system, response::main_program);
  } catch (const process_end& end) {
    (void)edge::take_pending_signal();
    return end;
  }
  throw std::logic_error("the program returned instead of stopping");
}

}  // namespace testing_support
