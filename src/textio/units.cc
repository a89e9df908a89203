// The unit table. Output goes through a 256 KiB buffer per unit that only ever holds whole
// records, so the operating system is handed whole lines only. A file is cut to empty when
// the run first writes to it: whatever ends the run, a file never holds lines of an earlier
// run after this run's. In this program a unit is either read or written, never both.
#include "textio/units.h"

#include <cassert>
#include <cerrno>
#include <cstring>

#include "edge/signals.h"

namespace textio {
namespace {

constexpr std::size_t output_buffer_size = 256 * 1024;

edge::disk* os = nullptr;
unit units[unit_count];

struct file_identity {
  std::uint64_t device;
  std::uint64_t inode;
};
std::vector<file_identity> protected_records;

bool is_protected_record(const edge::file_status& status) {
  if (!status.exists) return false;
  for (const file_identity& id : protected_records) {
    if (id.device == status.device && id.inode == status.inode) return true;
  }
  return false;
}

// A console or a pipe can keep a read waiting; a signal ends the wait.
input_stream waiting_input(int handle) {
  return input_stream([handle](char* buffer, std::size_t n) -> long {
    os->wait_for_input(handle);
    if (edge::pending_signal() != 0) return -EINTR;
    return os->read(handle, buffer, n);
  });
}

input_stream file_input(int handle) {
  return input_stream(
      [handle](char* buffer, std::size_t n) -> long { return os->read(handle, buffer, n); });
}

void connect_console(int number, int handle, bool input) {
  unit& u = units[number];
  u.connected = true;
  u.console = true;
  u.handle = handle;
  u.readable = input;
  u.writable = !input;
  if (input) u.input = waiting_input(handle);
}

void attach(unit& u, int handle) {
  const edge::file_status status = os->status(handle);
  u.handle = handle;
  u.regular_file = status.regular;
  u.input = status.regular ? file_input(handle) : waiting_input(handle);
}

}  // namespace

void reset_units(edge::disk& system) {
  os = &system;
  for (unit& u : units) u = unit();
  protected_records.clear();
  connect_console(console_error, edge::standard_error, false);
  connect_console(console_input, edge::standard_input, true);
  connect_console(console_output, edge::standard_output, false);
}

edge::disk& current_system() {
  assert(os != nullptr);
  return *os;
}

unit& unit_at(int number) {
  assert(number >= 0 && number < unit_count);
  return units[number];
}

io_error connect_unit(int number, std::string_view name) {
  unit& u = unit_at(number);
  if (u.connected) {
    if (io_error e = disconnect_unit(number)) return e;
  }
  const std::size_t last = name.find_last_not_of(' ');
  u = unit();
  u.name = last == std::string_view::npos ? std::string() : std::string(name.substr(0, last + 1));
  if (u.name.empty()) return {"open", null_file_name};
  const edge::file_status status = os->status(u.name);
  if (is_protected_record(status)) return {"open", overwrites_record};

  u.connected = true;
  u.readable = u.writable = true;
  if (status.pipe) {
    // Opened for update, a pipe would have this program as a writer of its own and never
    // end; it is opened for reading or for writing when first used.
    u.pipe = true;
    return {};
  }
  int handle = os->open(u.name, edge::open_mode::update);
  if (handle < 0) {
    u.writable = false;
    handle = os->open(u.name, edge::open_mode::read_only);
  }
  if (handle < 0) {
    // A missing file is created; a new file reads as empty.
    u.writable = true;
    handle = os->open(u.name, edge::open_mode::create_update);
  }
  if (handle < 0) {
    u.readable = false;  // an existing file that may only be written
    handle = os->open(u.name, edge::open_mode::create_write_only);
  }
  if (handle < 0) {
    u.connected = false;
    return {"open", -handle};
  }
  attach(u, handle);
  return {};
}

io_error prepare_to_read(unit& u) {
  u.last_was_write = false;
  if (!u.pipe || u.handle >= 0) return {};
  const int handle = os->open(u.name, edge::open_mode::read_only);
  if (handle < 0) return {"open", -handle};
  attach(u, handle);
  return {};
}

io_error prepare_first_write(unit& u) {
  u.written = true;
  if (u.pipe && u.handle < 0) {
    const int handle = os->open(u.name, edge::open_mode::write_only);
    if (handle < 0) return {"open", -handle};
    attach(u, handle);
  }
  if (!u.console && u.regular_file && os->truncate(u.handle, 0) != 0) {
    return {"endfile", truncation_failed};
  }
  return {};
}

io_error disconnect_unit(int number) {
  unit& u = unit_at(number);
  if (!u.connected) return {};
  io_error error = flush_unit(u);
  if (u.console) {
    u.connected = false;
    return error;
  }
  if (u.handle >= 0) {
    const int close_error = os->close(u.handle);
    if (close_error != 0 && !error) error = {"close", close_error};
  }
  u.connected = false;
  u.handle = -1;
  u.input = input_stream();
  u.output = std::vector<char>();
  u.pending = 0;
  return error;
}

void disconnect_all_units() {
  for (int number = 0; number < unit_count; ++number) (void)disconnect_unit(number);
}

void protect_record(int number) {
  const unit& u = unit_at(number);
  const edge::file_status status = u.handle >= 0 ? os->status(u.handle) : os->status(u.name);
  if (status.exists) protected_records.push_back({status.device, status.inode});
}

io_error write_record(unit& u, std::string_view record) {
  char* room = nullptr;
  if (record.size() > output_buffer_size) {  // no record of this program is that long
    if (io_error e = flush_unit(u)) return e;
    u.output.assign(record.begin(), record.end());
    u.pending = record.size();
    const io_error e = flush_unit(u);
    u.output = std::vector<char>();
    return e;
  }
  if (io_error e = reserve_record(u, record.size(), room)) return e;
  std::memcpy(room, record.data(), record.size());
  commit_record(u, room + record.size());
  return {};
}

io_error reserve_record(unit& u, std::size_t n, char*& room) {
  assert(n <= output_buffer_size);
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
  if (u.pending == 0) return {};
  const char* data = u.output.data();
  const edge::write_result result = os->write(u.handle, data, u.pending);
  u.pending = 0;
  if (result.error == 0) {
    u.file_size += result.written;
    return {};
  }
  // The file took part of the records: keep the whole ones.
  std::size_t whole = result.written;
  while (whole > 0 && data[whole - 1] != '\n') --whole;
  if (u.regular_file && whole < result.written) (void)os->truncate(u.handle, u.file_size + whole);
  u.file_size += whole;
  return {"write", result.error};
}

}  // namespace textio
