#include "edge/memory_outputs.h"

#include <cerrno>
#include <cstdlib>

namespace edge {

std::string memory_outputs::take(const std::string& name) {
  const auto it = contents_.find(name);
  if (it == contents_.end()) return {};
  std::string text = std::move(it->second);
  contents_.erase(it);
  return text;
}

// The files' disk ends the process; a call through the interface is not known to end it.
void memory_outputs::exit(int status) {
  files_.exit(status);
  std::abort();
}

void memory_outputs::abort() {
  files_.abort();
  std::abort();
}

int memory_outputs::open(const std::string& name, open_mode mode) {
  // Files are read through; nothing is written to them.
  return mode == open_mode::read_only ? files_.open(name, mode) : -EROFS;
}

file_status memory_outputs::status(const std::string& name) {
  if (!in_memory(name)) return files_.status(name);
  if (contents_.count(name)) return {.exists = true, .regular = true};
  return {};
}

file_status memory_outputs::status(int handle) {
  if (in_memory(handle)) return {.exists = true, .regular = true};
  return files_.status(handle);
}

long memory_outputs::read(int handle, char* buffer, std::size_t n) {
  return in_memory(handle) ? -EBADF : files_.read(handle, buffer, n);
}

write_result memory_outputs::write(int handle, const char* data, std::size_t n) {
  const auto it = temporaries_.find(handle);
  if (it == temporaries_.end()) return {.written = 0, .error = EROFS};
  contents_[it->second].append(data, n);
  return {.written = n, .error = 0};
}

int memory_outputs::truncate(int handle, std::uint64_t size) {
  const auto it = temporaries_.find(handle);
  if (it == temporaries_.end()) return EROFS;
  contents_[it->second].resize(size);
  return 0;
}

int memory_outputs::close(int handle) {
  // A temporary keeps its text after its handle closes, until it is renamed or removed.
  if (in_memory(handle)) return temporaries_.count(handle) ? 0 : EBADF;
  return files_.close(handle);
}

temporary memory_outputs::create_temporary(const std::string&) {
  const int handle = next_handle_++;
  const std::string name = "memory temporary " + std::to_string(handle);
  temporaries_[handle] = name;
  contents_[name];
  return {.handle = handle, .name = name};
}

int memory_outputs::rename(const std::string& from, const std::string& to) {
  const auto it = contents_.find(from);
  if (it == contents_.end()) return ENOENT;
  std::string text = std::move(it->second);
  contents_.erase(it);
  contents_[to] = std::move(text);
  return 0;
}

int memory_outputs::remove(const std::string& name) {
  return contents_.erase(name) ? 0 : ENOENT;
}

int memory_outputs::make_folder(const std::string&) {
  return EROFS;
}

std::string memory_outputs::resolve(const std::string& name) {
  return in_memory(name) ? name : files_.resolve(name);
}

int memory_outputs::set_owner_and_permissions(int handle, unsigned permissions, std::uint64_t owner,
                                              std::uint64_t group) {
  if (in_memory(handle)) return 0;
  return files_.set_owner_and_permissions(handle, permissions, owner, group);
}

}  // namespace edge
