// Statements keep the run-time state (unit, format, direction) that an error report shows,
// flush the console before every console read, and act on signals between records.
#include "textio/statements.h"

#include <cassert>
#include <cstdlib>
#include <string>

#include "textio/runtime_error.h"
#include "textio/signals.h"
#include "textio/units.h"

namespace textio {
namespace {

constexpr std::string_view list_io = "list io";
constexpr std::string_view line_format = "(A40)";

io_state& begin(int unit, std::string_view format, bool writing) {
  io_state& state = current_io();
  state.unit = unit;
  state.format = format;
  state.writing = writing;
  return state;
}

void write(unit& u, std::string_view record) {
  if (io_error e = write_record(u, record)) fail(e);
}

// A prompt must be visible before the program waits for its answer.
void flush_console_output() {
  unit& out = unit_number(console_output);
  if (out.pending == 0) return;
  if (io_error e = flush_unit(out)) {
    begin(console_output, {}, true);
    fail(e);
  }
}

unit& begin_read(int number, std::string_view format) {
  if (number == console_input) flush_console_output();
  begin(number, format, false);
  unit& u = unit_number(number);
  assert(u.connected);
  if (!u.readable) fail({"read start", cannot_read_file});
  u.last_was_write = false;
  return u;
}

io_error list_read_error(read_status status, const unit& u) {
  switch (status) {
    case read_status::ok:
      return {};
    case read_status::end_of_file:
      if (u.input.error() != 0) return {"read", u.input.error()};
      return {"list in", end_of_input};
    case read_status::invalid_number:
      return {"invalid number", incomprehensible_list_input};
    case read_status::exponent_field:
      return {"exponent field", incomprehensible_list_input};
    case read_status::bad_repeat_count:
      return {"bad repetition count", incomprehensible_list_input};
  }
  return {};
}

}  // namespace

void write_list(int number, std::initializer_list<list_item> items) {
  begin(number, list_io, true);
  unit& u = unit_number(number);
  assert(u.connected);
  if (!u.writable) fail({"list output start", cannot_write_file});
  static std::string records = [] {
    std::string s;
    s.reserve(400);
    return s;
  }();
  records.clear();
  render_list(items, records);
  write(u, records);
  handle_pending_signal();
}

namespace statement_detail {

char* begin_formatted_write(int number, const record_format& format) {
  begin(number, format.text, true);
  unit& u = unit_number(number);
  assert(u.connected);
  if (!u.writable) fail({"write start", cannot_write_file});
  char* room = nullptr;
  if (io_error e = reserve_record(u, static_cast<std::size_t>(format.length()) + 1, room)) fail(e);
  return room;
}

void end_formatted_write(int number, char* end) {
  *end++ = '\n';
  commit_record(unit_number(number), end);
  current_io().format = {};  // a format is current only while its statement runs
  handle_pending_signal();
}

}  // namespace statement_detail

void read_list(int number, std::initializer_list<read_item> items) {
  unit& u = begin_read(number, list_io);
  if (u.input.met_end()) fail({"read start", end_of_input});
  if (io_error e = list_read_error(textio::read_list(u.input, items), u)) fail(e);
  handle_pending_signal();
}

bool read_list_until_end(int number, std::initializer_list<read_item> items) {
  unit& u = begin_read(number, list_io);
  if (u.input.met_end()) return false;
  const read_status status = textio::read_list(u.input, items);
  if (status == read_status::end_of_file && u.input.error() == 0) return false;
  if (io_error e = list_read_error(status, u)) fail(e);
  handle_pending_signal();
  return true;
}

void read_text_line(int number, text40& value) {
  unit& u = begin_read(number, line_format);
  if (u.input.met_end()) fail({"read start", end_of_input});
  if (textio::read_line(u.input, value) != read_status::ok) {
    fail(u.input.error() != 0 ? io_error{"read", u.input.error()} : io_error{"fmt", end_of_input});
  }
  current_io().format = {};
  handle_pending_signal();
}

void connect(int number, std::string_view name) {
  current_io().unit = number;
  if (io_error e = connect_unit(number, name)) fail(e);
}

void disconnect(int number) {
  current_io().unit = number;
  if (io_error e = disconnect_unit(number)) fail(e);
}

void keep_intact(int number) {
  add_intact_file(number);
}

void stop(int status) {
  handle_pending_signal();
  flush_console_output();
  std::exit(status);
}

}  // namespace textio
