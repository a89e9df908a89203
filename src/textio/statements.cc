// Statements keep the run-time state (unit, format, direction) that an error report shows,
// flush the console before every console read, and act on signals between records.
#include "textio/statements.h"

#include <cassert>
#include <csignal>
#include <cstdlib>
#include <string>

#include "edge/signals.h"
#include "textio/units.h"

namespace textio {
namespace {

constexpr std::string_view list_io = "list io";
constexpr std::string_view line_format = "(A40)";

io_state state;
bool reporting = false;  // a report is being written: a second error aborts at once

io_state& begin(int unit, std::string_view format, bool writing) {
  state.unit = unit;
  state.format = format;
  state.writing = writing;
  return state;
}

void write_to_standard_error(std::string_view text) {
  (void)current_system().write(edge::standard_error, text.data(), text.size());
}

[[noreturn]] void end_run(int status) {
  disconnect_all_units();
  current_system().exit(status);
  std::abort();  // not reached: no system returns from exit
}

[[noreturn]] void end_run_abnormally() {
  disconnect_all_units();
  current_system().abort();
  std::abort();  // not reached
}

// A prompt must be visible before the program waits for its answer.
void flush_console_output() {
  unit& out = unit_at(console_output);
  if (out.pending == 0) return;
  if (io_error e = flush_unit(out)) {
    begin(console_output, {}, true);
    fail(e);
  }
}

unit& begin_read(int number, std::string_view format) {
  if (number == console_input) flush_console_output();
  begin(number, format, false);
  unit& u = unit_at(number);
  assert(u.connected);
  if (!u.readable) fail({"read start", cannot_read_file});
  if (io_error e = prepare_to_read(u)) fail(e);
  return u;
}

unit& begin_write(int number, std::string_view format, const char* context) {
  begin(number, format, true);
  unit& u = unit_at(number);
  assert(u.connected);
  if (!u.writable) fail({context, cannot_write_file});
  if (io_error e = prepare_to_write(u)) fail(e);
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

io_state& current_io() {
  return state;
}

void write_list(int number, std::initializer_list<list_item> items) {
  unit& u = begin_write(number, list_io, "list output start");
  static std::string records = [] {
    std::string s;
    s.reserve(400);
    return s;
  }();
  records.clear();
  render_list(items, records);
  if (io_error e = write_record(u, records)) fail(e);
  act_on_pending_signal();
}

namespace statement_detail {

char* begin_formatted_write(int number, const record_format& format) {
  unit& u = begin_write(number, format.text, "write start");
  char* room = nullptr;
  if (io_error e = reserve_record(u, static_cast<std::size_t>(format.length()) + 1, room)) fail(e);
  return room;
}

void end_formatted_write(int number, char* end) {
  *end++ = '\n';
  commit_record(unit_at(number), end);
  state.format = {};  // a format is current only while its statement runs
  act_on_pending_signal();
}

}  // namespace statement_detail

void read_list(int number, std::initializer_list<read_item> items) {
  unit& u = begin_read(number, list_io);
  if (u.input.met_end()) fail({"read start", end_of_input});
  const read_status status = parse_list(u.input, items);
  act_on_pending_signal();
  if (io_error e = list_read_error(status, u)) fail(e);
}

bool read_list_until_end(int number, std::initializer_list<read_item> items) {
  unit& u = begin_read(number, list_io);
  if (u.input.met_end()) return false;
  const read_status status = parse_list(u.input, items);
  act_on_pending_signal();
  if (status == read_status::end_of_file && u.input.error() == 0) return false;
  if (io_error e = list_read_error(status, u)) fail(e);
  return true;
}

void read_text_line(int number, text40& value) {
  unit& u = begin_read(number, line_format);
  if (u.input.met_end()) fail({"read start", end_of_input});
  const read_status status = parse_line(u.input, value);
  act_on_pending_signal();
  if (status != read_status::ok) {
    fail(u.input.error() != 0 ? io_error{"read", u.input.error()} : io_error{"fmt", end_of_input});
  }
  state.format = {};
}

void connect(int number, std::string_view name) {
  state.unit = number;
  if (io_error e = connect_unit(number, name)) fail(e);
}

void disconnect(int number) {
  state.unit = number;
  if (io_error e = disconnect_unit(number)) fail(e);
}

void stop(int status) {
  act_on_pending_signal();
  flush_console_output();
  end_run(status);
}

void fail(const io_error& error) {
  if (reporting) {
    write_to_standard_error("(run-time fatal error already being reported, aborting.)");
    current_system().abort();
    std::abort();  // not reached
  }
  reporting = true;
  unit_description unit;
  if (state.unit >= 0) unit = {unit_at(state.unit).console, unit_at(state.unit).name};
  const bool system_error = error.number >= 0 && error.number < 100;
  write_to_standard_error(format_report(
      error, state, unit, system_error ? current_system().error_text(error.number) : ""));
  end_run_abnormally();
}

void act_on_pending_signal() {
  switch (edge::take_pending_signal()) {
    case 0:
      return;
    case SIGINT:
      write_to_standard_error("Interrupt\n");
      end_run(1);
    case SIGTERM:
      write_to_standard_error("Killed\n");
      end_run(1);
    case SIGFPE:
      write_to_standard_error("Floating Exception\n");
      end_run_abnormally();
    default:
      write_to_standard_error("IOT Trap\n");
      end_run_abnormally();
  }
}

void begin_run(edge::disk& system) {
  reset_units(system);
  state = io_state();
  reporting = false;
}

}  // namespace textio
