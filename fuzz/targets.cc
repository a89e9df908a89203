#include "targets.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "base/paths.h"
#include "base/physics.h"
#include "plot/outputs.h"
#include "records/at2.h"
#include "records/cosmos.h"
#include "records/dmg.h"
#include "records/fortran_format.h"
#include "records/names.h"
#include "records/registry.h"
#include "records/smc.h"
#include "records/table.h"
#include "spectra/fourier/frequencies.h"
#include "spectra/fourier/smoothing.h"
#include "spectra/grids.h"
#include "support/reference_fields.h"
#include "tables/columns.h"
#include "textio/fields.h"
#include "textio/list_input.h"

namespace fuzz {
namespace {

using textio::input_stream;
using textio::read_status;
using textio::text40;

// The input handed out one byte per read, as a slow pipe would.
std::string_view trickle_source;
long trickle(char* buffer, std::size_t n) {
  if (trickle_source.empty() || n == 0) return 0;
  buffer[0] = trickle_source.front();
  trickle_source.remove_prefix(1);
  return 1;
}

const char* status_name(read_status status) {
  switch (status) {
    case read_status::ok:
      return "ok";
    case read_status::end_of_file:
      return "end";
    case read_status::invalid_number:
      return "invalid number";
    case read_status::exponent_field:
      return "exponent field";
    case read_status::bad_repeat_count:
      return "bad repetition count";
  }
  return nullptr;  // not one of the outcomes a read may have
}

void describe(std::string& log, double v) {
  char text[64];
  std::snprintf(text, sizeof text, " %a", v);
  log += text;
}

// Runs every read the program makes on one stream and logs each outcome and value.
std::string read_everything(std::string_view bytes, bool trickled, std::string& problem) {
  std::string log;
  const auto check = [&](read_status status) {
    const char* name = status_name(status);
    if (name == nullptr && problem.empty()) problem = "a read returned an unknown status";
    log += name ? name : "?";
    log += '\n';
    return status;
  };
  const auto open = [&](input_stream& memory, input_stream& slow) -> input_stream& {
    trickle_source = bytes;
    return trickled ? slow : memory;
  };

  {  // The record: header, then samples until the end.
    input_stream memory(bytes), slow(trickle);
    input_stream& in = open(memory, slow);
    text40 heads[4];
    for (text40& h : heads) h.fill('?');
    if (check(textio::parse_list(in, {{heads[0], heads[1], heads[2], heads[3]}})) ==
        read_status::ok) {
      for (const text40& h : heads) log.append(h.data(), h.size());
      for (int samples = 0; !in.met_end(); ++samples) {
        double v[4] = {-1, -1, -1, -1};
        const read_status status = check(textio::parse_list(in, {{v[0], v[1], v[2], v[3]}}));
        for (double x : v) {
          describe(log, x);
          if (std::isnan(x) && problem.empty()) problem = "a number read as not-a-number";
        }
        if (status != read_status::ok) break;
        if (samples > static_cast<int>(bytes.size()) && problem.empty()) {
          problem = "more samples than bytes: a read consumed nothing";
          break;
        }
      }
    }
  }
  {  // The console: one double, then lines until the end.
    input_stream memory(bytes), slow(trickle);
    input_stream& in = open(memory, slow);
    double per = 0;
    check(textio::parse_list(in, {{per}}));
    describe(log, per);
    for (int lines = 0; !in.met_end(); ++lines) {
      text40 line;
      const read_status status = check(textio::parse_line(in, line));
      log.append(line.data(), line.size());
      if (status != read_status::ok) break;
      if (lines > static_cast<int>(bytes.size()) && problem.empty()) {
        problem = "more lines than bytes";
        break;
      }
    }
  }
  return log;
}

}  // namespace

std::string check_list_input(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string problem;
  const std::string from_memory = read_everything(bytes, false, problem);
  const std::string trickled = read_everything(bytes, true, problem);
  if (!problem.empty()) return problem;
  if (from_memory != trickled) {
    return "reading byte by byte differs from reading from memory:\n" + from_memory + "\n---\n" +
           trickled;
  }
  return {};
}

std::string check_fields(const std::uint8_t* data, std::size_t size) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, data, size < sizeof bits ? size : sizeof bits);
  const double v = std::bit_cast<double>(bits);
  char out[32];
  std::string problem;
  const auto compare = [&](const char* name, const char* end, const std::string& expected) {
    const std::string got(static_cast<const char*>(out), end);
    if (got != expected && problem.empty()) {
      char value[80];
      std::snprintf(value, sizeof value, "%.17g (%a)", v, v);
      problem =
          std::string(name) + " of " + value + ": got |" + got + "|, expected |" + expected + "|";
    }
  };
  compare("F8.4", textio::format_fixed<8, 4>(out, v), reference::fixed(v, 8, 4));
  compare("F9.4", textio::format_fixed<9, 4>(out, v), reference::fixed(v, 9, 4));
  compare("F12.4", textio::format_fixed<12, 4>(out, v), reference::fixed(v, 12, 4));
  compare("E15.7", textio::format_exponential<15, 7>(out, v), reference::exponential(v, 15, 7));
  compare("list", textio::format_list_double(out, v), reference::list_double(v));
  return problem;
}

std::string check_records(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t lines =
      1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  for (const auto unit :
       {std::optional<base::acceleration_unit>(), std::optional(base::acceleration_unit::g)}) {
    const records::read_options options{.units = unit};
    const records::read_result r = records::read_any(text, options);
    // A table read in two halves at once (as long tables are): the same record or failure.
    if (records::is_table(text.substr(0, records::head_size))) {
      const records::read_result one = records::read_table(text, options);
      const records::read_result halves = records::read_table(text, options, 0);
      if (halves.status.line != one.status.line || halves.status.what != one.status.what ||
          halves.components.size() != one.components.size()) {
        return "reading in halves differs";
      }
      for (std::size_t k = 0; k < one.components.size(); ++k) {
        if (halves.components[k].acceleration != one.components[k].acceleration ||
            halves.components[k].dt != one.components[k].dt) {
          return "reading in halves gives other samples";
        }
      }
    }
    if (!r.ok()) {
      if (r.status.line < 1 || r.status.line > lines) return "a failure outside the text's lines";
      continue;
    }
    if (r.components.empty()) return "no components";
    for (const records::component& c : r.components) {
      if (!(c.dt > 0) || !std::isfinite(c.dt)) return "an interval that is not positive";
      if (c.acceleration.size() < 2) return "fewer than two samples";
      if (c.channel.empty()) return "a component without a name";
      for (double v : c.acceleration) {
        if (!std::isfinite(v)) return "a value that is not finite";
      }
    }
  }
  return {};
}

std::string check_records_fixed(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t lines =
      1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  const std::string_view head = text.substr(0, records::head_size);
  const struct {
    const char* name;
    bool (*recognises)(std::string_view);
    records::read_result (*read)(std::string_view, const records::read_options&);
  } readers[] = {{"cosmos", records::is_cosmos, records::read_cosmos},
                 {"dmg", records::is_dmg, records::read_dmg},
                 {"smc", records::is_smc, records::read_smc}};
  for (const auto& reader : readers) {
    (void)reader.recognises(head);
    for (const std::size_t most : {records::read_options{}.most_samples, std::size_t{64}}) {
      const records::read_result r = reader.read(text, {.most_samples = most});
      if (!r.ok()) {
        if (r.status.line < 1 || r.status.line > lines) {
          return std::string(reader.name) + ": a failure outside the text's lines";
        }
        continue;
      }
      if (r.components.empty()) return std::string(reader.name) + ": no components";
      for (const records::component& c : r.components) {
        if (!(c.dt > 0) || !std::isfinite(c.dt)) return "an interval that is not positive";
        if (c.acceleration.size() < 2) return "fewer than two samples";
        if (c.acceleration.size() > most) return "more samples than the bound";
        if (c.channel.empty()) return "a component without a name";
        if (c.first_line < 1 || c.first_line > lines) return "a first sample outside the text";
        for (double v : c.acceleration) {
          if (!std::isfinite(v)) return "a value that is not finite";
        }
      }
      for (const base::status& w : r.warnings) {
        if (w.line < 1 || w.line > lines) return "a warning outside the text's lines";
      }
    }
  }
  // The first line as a format, the second read by it.
  const std::size_t end = text.find('\n');
  if (const auto f = records::parse_fortran_format(text.substr(0, end))) {
    if (f->count < 1 || f->width < 1 || f->decimals >= f->width) return "a format out of range";
    std::vector<double> values(static_cast<std::size_t>(f->count));
    const std::string_view second =
        end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::size_t read =
        records::read_fields(second.substr(0, second.find('\n')), *f, values.size(), values.data());
    if (read > values.size()) return "more fields read than asked";
    for (std::size_t k = 0; k < read; ++k) {
      if (!std::isfinite(values[k])) return "a field read as a value that is not finite";
    }
  }
  return {};
}

std::string check_options(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const spectra::parsed_values periods = spectra::parse_periods(text);
  if (periods.status.ok()) {
    if (periods.values.empty()) return "no periods and no error";
    for (double t : periods.values) {
      if (!(t > 0) || !std::isfinite(t)) return "a period that is not positive";
    }
  }
  const spectra::parsed_values dampings = spectra::parse_dampings(text);
  if (dampings.status.ok()) {
    if (dampings.values.empty()) return "no damping and no error";
    for (double h : dampings.values) {
      if (!(h >= 0 && h < 1)) return "a damping ratio outside [0, 1)";
    }
  }
  const spectra::parsed_values tolerance = spectra::parse_tolerance(text);
  if (tolerance.status.ok() &&
      !(tolerance.values.size() == 1 && tolerance.values[0] > 0 && tolerance.values[0] <= 0.01)) {
    return "a tolerance outside (0, 0.01]";
  }
  const fourier::parsed_values grid = fourier::parse_grid(text);
  if (grid.error.empty()) {
    if (grid.values.empty() || grid.values.size() > 100000) {
      return "a grid of no or too many points";
    }
    if (!fourier::check_smoothing(fourier::default_bandwidth, grid.values).ok()) {
      return "a grid frequency that is not positive and finite";
    }
    if (!std::is_sorted(grid.values.begin(), grid.values.end())) return "a grid that falls";
  }
  const fourier::parsed_values bandwidth = fourier::parse_bandwidth(text);
  const double one_hertz[] = {1};
  if (bandwidth.error.empty() && !(bandwidth.values.size() == 1 &&
                                   fourier::check_smoothing(bandwidth.values[0], one_hertz).ok())) {
    return "a bandwidth outside (0, 1000]";
  }
  (void)base::parse_unit(text);
  (void)records::is_vertical_name(text);
  (void)records::record_sequence_number(text);
  for (const std::string& path : base::read_path_list(text)) {
    if (path.empty() || path.find('\n') != std::string::npos || path.front() == ' ' ||
        path.back() == ' ') {
      return "a path with a line end or edge blanks";
    }
  }
  return {};
}

std::string check_outputs(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t lines =
      1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  const plot::table_result r = plot::read_output(text);
  if (!r.ok()) {
    return r.line >= 1 && r.line <= lines ? "" : "a failure outside the text's lines";
  }
  const std::size_t expected = r.table.kind == plot::file_kind::ground_velocity ? 4
                               : r.table.kind == plot::file_kind::energy        ? 5
                                                                                : 13;
  if (r.table.columns.size() != expected) return "columns of another kind";
  std::size_t gaps = 0;
  for (const auto& c : r.table.columns) {
    if (c.size() != r.table.columns[0].size()) return "columns of different lengths";
    for (double v : c) {
      if (std::isnan(v)) ++gaps;
      if (std::isinf(v)) return "an infinite value";
    }
  }
  return gaps == r.table.missing ? "" : "gaps not counted";
}

std::string check_tables(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  constexpr std::string_view names[] = {"record", "component", "station"};
  const tables::table_read t = tables::read_table(text, names);
  if (!t.status.ok()) {
    const std::size_t lines =
        static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (t.status.line < 1 || t.status.line > lines) return "a failure at a line the text lacks";
    if (!t.columns.empty()) return "columns left by a failure";
    return {};
  }
  if (t.columns.empty()) return "a table read without a column";
  if (!tables::check_lengths(t.columns).ok()) return "columns of different lengths";
  for (const tables::column_values& c : t.columns) {
    for (double v : c.numbers) {
      if (std::isinf(v)) return "a number that is not finite";
    }
  }
  const std::string written = tables::write_table(t.columns);
  const tables::table_read again = tables::read_table(written, names);
  if (!again.status.ok()) return "a table written cannot be read: " + again.status.what;
  if (again.columns.size() != t.columns.size()) return "a table written has other columns";
  for (std::size_t c = 0; c < t.columns.size(); ++c) {
    const tables::column_values &a = t.columns[c], &b = again.columns[c];
    if (a.name != b.name || a.text != b.text || a.texts != b.texts) return "a column changed";
    if (a.numbers.size() != b.numbers.size()) return "a column changed its length";
    for (std::size_t i = 0; i < a.numbers.size(); ++i) {
      if (std::bit_cast<std::uint64_t>(a.numbers[i]) !=
              std::bit_cast<std::uint64_t>(b.numbers[i]) &&
          !(std::isnan(a.numbers[i]) && std::isnan(b.numbers[i]))) {
        return "a number changed on the way back";
      }
    }
  }
  if (tables::write_table(again.columns) != written) return "a table written twice differs";
  return {};
}

}  // namespace fuzz
