// The unit table. Output goes through a 256 KiB buffer per unit that only ever holds whole
// records, so a file ended early (by a signal) is never cut inside a record.
#include "textio/units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstring>

#include "textio/signals.h"

namespace textio {
namespace {

constexpr std::size_t output_buffer_size = 256 * 1024;

unit units[unit_count];

struct file_identity {
  dev_t device;
  ino_t inode;
};
std::vector<file_identity> intact_files;

bool is_intact(const std::string& name) {
  struct stat status;
  if (intact_files.empty() || ::stat(name.c_str(), &status) != 0) return false;
  for (const file_identity& id : intact_files) {
    if (id.device == status.st_dev && id.inode == status.st_ino) return true;
  }
  return false;
}

ssize_t read_file(int fd, char* buffer, std::size_t n) {
  for (;;) {
    const ssize_t count = ::read(fd, buffer, n);
    if (count >= 0) return count;
    if (errno != EINTR) return -errno;
  }
}

io_error write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;  // a signal is acted on at the next record boundary
      return {"write", errno};
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return {};
}

void connect_console(int number, int fd, bool input) {
  unit& u = units[number];
  u.connected = true;
  u.console = true;
  u.fd = fd;
  u.readable = input;
  u.writable = !input;
  if (input) u.input = input_stream(fd, read_interruptibly);
}

}  // namespace

unit& unit_number(int number) {
  assert(number >= 0 && number < unit_count);
  return units[number];
}

unit_description describe_unit(int number) {
  const unit& u = unit_number(number);
  return {u.console, u.name};
}

void connect_console_units() {
  connect_console(console_error, STDERR_FILENO, false);
  connect_console(console_input, STDIN_FILENO, true);
  connect_console(console_output, STDOUT_FILENO, false);
}

io_error connect_unit(int number, std::string_view name) {
  unit& u = unit_number(number);
  if (u.connected) {
    if (io_error e = disconnect_unit(number)) return e;
  }
  const std::size_t last = name.find_last_not_of(' ');
  u.name = last == std::string_view::npos ? std::string() : std::string(name.substr(0, last + 1));
  if (u.name.empty()) return {"open", null_file_name};
  if (is_intact(u.name)) return {"open", overwrites_record};

  u.readable = u.writable = true;
  u.fd = ::open(u.name.c_str(), O_RDWR | O_CLOEXEC);
  if (u.fd < 0) {
    u.writable = false;
    u.fd = ::open(u.name.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (u.fd < 0) {
    // A missing file is created; a new file reads as empty. Nothing is truncated here: what
    // this run does not overwrite is cut at disconnection.
    u.readable = u.writable = true;
    u.fd = ::open(u.name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  }
  if (u.fd < 0) {
    u.readable = false;  // an existing file that may only be written
    u.fd = ::open(u.name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  }
  if (u.fd < 0) return {"open", errno};

  struct stat status;
  u.regular_file = ::fstat(u.fd, &status) == 0 && S_ISREG(status.st_mode);
  u.input = input_stream(u.fd, u.regular_file ? read_file : read_interruptibly);
  u.connected = true;
  u.console = false;
  u.last_was_write = false;
  u.pending = 0;
  return {};
}

io_error disconnect_unit(int number) {
  unit& u = unit_number(number);
  if (!u.connected) return {};
  io_error error = flush_unit(u);
  if (u.console) {
    u.connected = false;
    return error;
  }
  if (!error && u.last_was_write && u.regular_file) {
    const off_t position = ::lseek(u.fd, 0, SEEK_CUR);
    struct stat status;
    if (position >= 0 && ::fstat(u.fd, &status) == 0 && position < status.st_size &&
        ::ftruncate(u.fd, position) != 0) {
      error = {"endfile", truncation_failed};
    }
  }
  if (::close(u.fd) != 0 && !error) error = {"close", errno};
  u.connected = false;
  u.fd = -1;
  u.input = input_stream();
  u.output = std::vector<char>();
  u.pending = 0;
  return error;
}

void disconnect_all_units() {
  for (int number = 0; number < unit_count; ++number) (void)disconnect_unit(number);
}

void add_intact_file(int number) {
  struct stat status;
  if (::fstat(unit_number(number).fd, &status) == 0) {
    intact_files.push_back({status.st_dev, status.st_ino});
  }
}

io_error write_record(unit& u, std::string_view record) {
  char* room = nullptr;
  if (record.size() > output_buffer_size) {  // no record of this program is that long
    u.last_was_write = true;
    if (io_error e = flush_unit(u)) return e;
    return write_all(u.fd, record.data(), record.size());
  }
  if (io_error e = reserve_record(u, record.size(), room)) return e;
  std::memcpy(room, record.data(), record.size());
  commit_record(u, room + record.size());
  return {};
}

io_error reserve_record(unit& u, std::size_t n, char*& room) {
  assert(n <= output_buffer_size);
  u.last_was_write = true;
  if (u.output.empty()) u.output.resize(output_buffer_size);
  if (u.pending + n > u.output.size()) {
    if (io_error e = flush_unit(u)) return e;
  }
  room = u.output.data() + u.pending;
  return {};
}

void commit_record(unit& u, const char* end) {
  u.pending = static_cast<std::size_t>(end - u.output.data());
}

io_error flush_unit(unit& u) {
  const std::size_t size = u.pending;
  u.pending = 0;
  return write_all(u.fd, u.output.data(), size);
}

}  // namespace textio
