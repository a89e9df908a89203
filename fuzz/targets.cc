#include "targets.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/paths.h"
#include "base/physics.h"
#include "kernels/continuous.h"
#include "kernels/pair.h"
#include "plot/options.h"
#include "plot/outputs.h"
#include "processing/butterworth.h"
#include "processing/process.h"
#include "processing/sos_filter.h"
#include "records/at2.h"
#include "records/at2_writer.h"
#include "records/cosmos.h"
#include "records/dmg.h"
#include "records/esm.h"
#include "records/fortran_format.h"
#include "records/knet.h"
#include "records/mseed.h"
#include "records/names.h"
#include "records/registry.h"
#include "records/sac.h"
#include "records/smc.h"
#include "records/table.h"
#include "spectra/fourier/frequencies.h"
#include "spectra/fourier/smoothing.h"
#include "spectra/grids.h"
#include "spectra/inelastic/options.h"
#include "spectra/spectrum.h"
#include "support/reference_decimal.h"
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
      if (r.status.at_byte ? r.status.byte > size : r.status.line < 1 || r.status.line > lines) {
        return "a failure outside the text's lines";
      }
      continue;
    }
    if (r.components.empty()) return "no components";
    for (const records::component& c : r.components) {
      if (!(c.dt > 0) || !std::isfinite(c.dt)) return "an interval that is not positive";
      if (c.acceleration.size() < 2) return "fewer than two samples";
      if (c.channel.empty()) return "a component without a name";
      bool within = true;
      for (double v : c.acceleration) {
        if (!std::isfinite(v)) return "a value that is not finite";
        within = within && std::abs(v) <= 1e300;
      }
      if (!within) continue;
      const records::read_result back = records::read_at2(records::write_at2(c, "fuzz", {}), {});
      if (!back.ok()) return "an AT2 file written is not read back: " + back.status.what;
      const records::component& b = back.components.at(0);
      if (b.dt != c.dt || b.acceleration.size() != c.acceleration.size()) {
        return "an AT2 file written reads back with another count or interval";
      }
      for (std::size_t i = 0; i < b.acceleration.size(); ++i) {
        if (!(std::abs(b.acceleration[i] - c.acceleration[i]) <=
              5e-9 * std::abs(c.acceleration[i]) + 1e-300)) {
          return "an AT2 file written reads back with another value";
        }
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

// The lines of values read one by one, as read_values read them before it found full lines by
// their length: whether the values read, the same values, or the line where reading stopped.
base::status read_values_line_by_line(records::line_reader& lines,
                                      const records::fortran_format& format, std::size_t n,
                                      std::vector<double>& values,
                                      const std::optional<double>& blank) {
  values.assign(n, 0);
  const auto per_line = static_cast<std::size_t>(format.count);
  for (std::size_t done = 0; done < n; done += per_line) {
    if (lines.at_end()) return base::failure_at_line(lines.line(), "end");
    const std::size_t want = std::min(per_line, n - done);
    const std::string_view line = lines.next();
    if (records::read_fields(line, format, want, values.data() + done, blank) != want) {
      return base::failure_at_line(lines.line(), "field");
    }
    const std::size_t used = want * static_cast<std::size_t>(format.width);
    if (!blank && used < line.size() &&
        line.substr(used).find_first_not_of(" \t\r") != std::string_view::npos) {
      return base::failure_at_line(lines.line(), "more");
    }
  }
  return {};
}

std::string check_decimals(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // The scanner from every position, against the plain one it replaced: the same end and the
  // same bits. Each scan sees at most 100 bytes, which hold more digits than the fast path
  // takes, so that long inputs stay quick to check.
  const char* const text_end = text.data() + text.size();
  for (const char* p = text.data(); p != text_end; ++p) {
    const char* const end = p + std::min<std::ptrdiff_t>(text_end - p, 100);
    double fast = -7.25, plain = -7.25;
    const char* const fast_end = base::scan_decimal(p, end, fast);
    const char* const plain_end = reference::scan_decimal(p, end, plain);
    if (fast_end != plain_end ||
        std::bit_cast<std::uint64_t>(fast) != std::bit_cast<std::uint64_t>(plain)) {
      return "scan_decimal differs from the plain scanner on '" +
             std::string(p, static_cast<std::size_t>(std::min<std::ptrdiff_t>(end - p, 40))) + "'";
    }
  }
  // The first line as a format, the rest as its lines of values (count from the first byte,
  // blank fields allowed or not from its top bit): read_values reads what the line-by-line
  // reading reads, and fails where it fails, unless it finds the text too short at once.
  const std::size_t first_end = text.find('\n');
  const auto format = records::parse_fortran_format(text.substr(0, first_end));
  if (!format || first_end == std::string_view::npos) return {};
  const std::string_view rest = text.substr(first_end + 1);
  const std::size_t lines_of_rest =
      1 + static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '\n'));
  const auto per_line = static_cast<std::size_t>(format->count);
  const std::size_t n = lines_of_rest * per_line - data[0] % per_line;
  if (n > 100000) return {};  // the reading line by line takes room for n values
  const std::optional<double> blank = data[0] & 0x80 ? std::optional<double>(-999) : std::nullopt;
  records::line_reader fast_lines(rest), plain_lines(rest);
  std::vector<double> fast, plain;
  const base::status a = records::read_values(fast_lines, *format, n, fast, "values", blank);
  const base::status b = read_values_line_by_line(plain_lines, *format, n, plain, blank);
  if (a.ok() != b.ok()) {
    if (!a.ok() && a.what.find("too short") != std::string::npos) return {};
    return "read_values " + std::string(a.ok() ? "reads" : "refuses: " + a.what) +
           "; line by line it " + (b.ok() ? "reads" : "stops");
  }
  if (a.ok()) {
    for (std::size_t k = 0; k < n; ++k) {
      if (std::bit_cast<std::uint64_t>(fast[k]) != std::bit_cast<std::uint64_t>(plain[k]))
        return "read_values reads value " + std::to_string(k + 1) + " otherwise";
    }
    if (fast_lines.line() != plain_lines.line() ||
        fast_lines.remaining() != plain_lines.remaining())
      return "read_values stops elsewhere";
  } else if (a.line != b.line && a.what.find("too short") == std::string::npos) {
    return "read_values fails at line " + std::to_string(a.line) + ", line by line at " +
           std::to_string(b.line);
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
  const spectra::parsed_values grid = fourier::parse_grid(text);
  if (grid.status.ok()) {
    if (grid.values.empty() || grid.values.size() > 100000) {
      return "a grid of no or too many points";
    }
    if (!fourier::check_smoothing(fourier::default_bandwidth, grid.values).ok()) {
      return "a grid frequency that is not positive and finite";
    }
    if (!std::is_sorted(grid.values.begin(), grid.values.end())) return "a grid that falls";
  } else if (grid.status.code != base::code::usage || !grid.values.empty()) {
    return "a grid refused other than as a usage error without values";
  }
  const spectra::parsed_values bandwidth = fourier::parse_bandwidth(text);
  const double one_hertz[] = {1};
  if (bandwidth.status.ok() && !(bandwidth.values.size() == 1 &&
                                 fourier::check_smoothing(bandwidth.values[0], one_hertz).ok())) {
    return "a bandwidth outside (0, 1000]";
  }
  if (!bandwidth.status.ok() &&
      (bandwidth.status.code != base::code::usage || !bandwidth.values.empty())) {
    return "a bandwidth refused other than as a usage error without values";
  }
  struct inelastic_list {
    spectra::parsed_values (*parse)(std::string_view);
    const char* what;
  };
  for (const inelastic_list& l :
       {inelastic_list{spectra::inelastic::parse_ductilities, "a ductility below 1"},
        inelastic_list{spectra::inelastic::parse_strength_ratios, "a strength ratio below 1"}}) {
    const spectra::parsed_values list = l.parse(text);
    if (list.status.ok() == list.values.empty()) return "values and an error, or neither";
    for (double v : list.values) {
      if (!(v >= 1) || !std::isfinite(v)) return l.what;
    }
  }
  const spectra::parsed_values percentiles = spectra::parse_percentiles(text);
  if (percentiles.status.ok() == percentiles.values.empty())
    return "percentiles and an error, or neither";
  for (std::size_t i = 0; i < percentiles.values.size(); ++i) {
    const double p = percentiles.values[i];
    if (!(p >= 0 && p <= 100)) return "a percentile outside [0, 100]";
    for (std::size_t j = 0; j < i; ++j) {
      if (percentiles.values[j] == p) return "a percentile given twice";
    }
  }
  const spectra::parsed_values alpha = spectra::inelastic::parse_alpha(text);
  if (alpha.status.ok() &&
      !(alpha.values.size() == 1 && alpha.values[0] >= 0 && alpha.values[0] < 1)) {
    return "an alpha outside [0, 1)";
  }
  (void)base::parse_unit(text);
  // sdofplot's options: a period above 0 and a damping ratio in [0, 1), or an error (an empty
  // text is an option not given).
  plot::history_labels labels;
  if (!text.empty() && plot::read_labels({}, text, {}, labels).empty() &&
      (!(labels.period > 0) || !std::isfinite(labels.period))) {
    return "a period for sdofplot that is not positive";
  }
  labels = {};
  if (!text.empty() && plot::read_labels({}, {}, text, labels).empty() &&
      !(labels.damping >= 0 && labels.damping < 1)) {
    return "a damping ratio for sdofplot outside [0, 1)";
  }
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

std::string check_processing(const std::uint8_t* data, std::size_t size) {
  if (size < 12) return {};
  const auto share = [&](std::size_t at) {  // in [0, 1.2)
    return (data[at] * 256 + data[at + 1]) / 65536.0 * 1.2;
  };
  const double dt = 0.001 * (1 + data[0] % 50);
  std::vector<double> samples;
  for (std::size_t at = 12; at + 1 < size; at += 2) {
    samples.push_back(static_cast<std::int16_t>(data[at] | data[at + 1] << 8) * 0.01);
  }
  const std::size_t n = samples.size();
  const double duration = n > 1 ? static_cast<double>(n - 1) * dt : 0;
  const std::uint8_t asked = data[2];
  processing::steps steps;
  steps.order = data[1] % 10;
  if (asked & 1) steps.highpass = share(3) * 0.5 / dt;
  if (asked & 2) steps.lowpass = share(5) * 0.5 / dt;
  if (asked & 4) steps.taper = share(7) * duration / 2;
  if (asked & 8) steps.pre_event = share(9) * duration;
  steps.causal = asked & 16;
  steps.baseline = asked & 32;
  if (asked & 64 && steps.highpass) *steps.highpass = -*steps.highpass;

  const base::status ok = processing::check(steps, dt, n);
  if (!ok.ok()) {
    if (ok.what.empty()) return "a refusal without words";
    return ok.code == base::code::usage || ok.code == base::code::bad_input
               ? ""
               : "a refusal that is neither usage nor a bad record";
  }
  const processing::processed p = processing::process(samples, dt, steps);
  const std::size_t pad =
      steps.highpass ? processing::samples_in(0.75 * steps.order / *steps.highpass, dt) : 0;
  if (p.leading_pad != pad || p.trailing_pad != pad || p.acceleration.size() != n + 2 * pad) {
    return "pads of another length";
  }
  for (double v : p.acceleration) {
    if (!std::isfinite(v)) return "a processed value that is not finite";
  }
  if (!steps.highpass && !steps.lowpass) return {};
  // The filters alone, in blocks, against the plain pass forwards and backwards.
  std::vector<processing::section> sections;
  if (steps.highpass) sections = processing::butterworth_highpass(steps.order, *steps.highpass, dt);
  if (steps.lowpass) {
    const auto low = processing::butterworth_lowpass(steps.order, *steps.lowpass, dt);
    sections.insert(sections.end(), low.begin(), low.end());
  }
  std::vector<double> blocks = samples, plain = samples;
  processing::filter_forward_backward(sections, blocks);
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<double> state = processing::steady_state(sections);
    for (double& z : state) z *= plain[0];
    processing::detail::filter_plain(sections, plain, state);
    std::reverse(plain.begin(), plain.end());
  }
  double peak = 0, difference = 0;
  for (std::size_t i = 0; i < n; ++i) {
    peak = std::max(peak, std::abs(samples[i]));
    difference = std::max(difference, std::abs(blocks[i] - plain[i]));
  }
  return difference <= 1e-8 * peak ? "" : "blocks and the plain pass differ";
}

namespace {

// Where a failure or a warning is: inside the bytes given, as a byte or as a line.
bool placed_within(const base::status& s, std::size_t size, std::size_t lines, bool binary) {
  return binary ? s.at_byte && s.byte <= size : !s.at_byte && s.line >= 1 && s.line <= lines;
}

// A SAC file in the other byte order: the header's numbers and the samples swapped word by
// word, its names and anything after the samples as they are.
std::string other_byte_order(std::string_view bytes, std::size_t samples) {
  std::string out(bytes);
  const auto swap_words = [&](std::size_t from, std::size_t to) {
    for (std::size_t at = from; at + 4 <= to; at += 4) std::reverse(&out[at], &out[at + 4]);
  };
  swap_words(0, 440);
  swap_words(632, 632 + 4 * samples);
  return out;
}

}  // namespace

std::string check_records_seismo(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t lines =
      1 + static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  const records::read_options option_sets[] = {
      {},
      {.units = base::acceleration_unit::gal},
      {.units = base::acceleration_unit::m_per_s2, .counts_per_unit = 1000},
      {.units = base::acceleration_unit::g, .most_samples = 64},
  };
  const struct {
    const char* name;
    records::read_result (*read)(std::string_view, const records::read_options&);
    bool binary;
  } readers[] = {
      {"knet", records::read_knet, false},  {"esm", records::read_esm, false},
      {"sac", records::read_sac, true},     {"sac-text", records::read_sac_alphanumeric, false},
      {"mseed", records::read_mseed, true},
  };
  for (const records::read_options& options : option_sets) {
    for (const auto& reader : readers) {
      const std::string name = reader.name;
      const records::read_result r = reader.read(bytes, options);
      for (const base::status& w : r.warnings) {
        if (!placed_within(w, size, lines, reader.binary)) return name + ": a warning misplaced";
      }
      if (!r.ok()) {
        if (r.status.what.empty()) return name + ": a failure without words";
        if (!placed_within(r.status, size, lines, reader.binary)) {
          return name + ": a failure outside the input";
        }
        continue;
      }
      if (r.components.empty()) return name + ": no components";
      for (const records::component& c : r.components) {
        if (!(c.dt > 0) || !std::isfinite(c.dt)) return name + ": an interval not positive";
        if (c.acceleration.size() < 2) return name + ": fewer than two samples";
        if (c.acceleration.size() > options.most_samples) return name + ": beyond the bound";
        if (c.channel.empty()) return name + ": a component without a name";
        if (reader.binary ? c.first_byte >= size : c.first_line < 1 || c.first_line > lines) {
          return name + ": a first sample outside the input";
        }
        for (double v : c.acceleration) {
          if (!std::isfinite(v)) return name + ": a value that is not finite";
        }
      }
      if (name == "sac" && size >= 632) {
        const records::component& c = r.components[0];
        const records::read_result other =
            records::read_sac(other_byte_order(bytes, c.acceleration.size()), options);
        if (!other.ok() || other.components[0].acceleration != c.acceleration ||
            other.components[0].dt != c.dt || other.components[0].start != c.start ||
            other.components[0].channel != c.channel) {
          return "sac: the other byte order reads otherwise";
        }
      }
    }
    // Told apart by content, the same bytes land in one reader or another, never nowhere.
    const records::read_result any = records::read_any(bytes, options);
    if (!any.ok() && any.status.what.empty()) return "read_any: a failure without words";
  }
  return {};
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

namespace {

// What the kernels' checks take from their first bytes, at samples dt apart: a damping ratio from
// the first, three periods from dt / 8 to 256 dt from the next three, and from the fifth the
// power of ten that scales the samples, 16-bit integers from byte `from` on.
constexpr double kernel_dt = 0.01;

double damping_of(const std::uint8_t* data) {
  const double dampings[] = {0, 0.02, 0.05, 0.3, 0.9};
  return dampings[data[0] % 5];
}

double period_of(const std::uint8_t* data, int i) {
  return kernel_dt * std::exp2((data[i] % 96) / 8.0 - 3);
}

std::vector<double> samples_of(const std::uint8_t* data, std::size_t size, std::size_t from,
                               std::size_t most) {
  const double scale = std::pow(10.0, data[4] % 16 - 8);
  std::vector<double> a;
  for (std::size_t i = from; i + 1 < size && a.size() < most; i += 2) {
    a.push_back(scale * static_cast<std::int16_t>(data[i] | data[i + 1] << 8));
  }
  return a;
}

}  // namespace

std::string check_continuous(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return {};
  constexpr double dt = kernel_dt;
  const double h = damping_of(data);
  std::vector<kernels::oscillator_coefficients> oscillators;
  for (int i = 1; i <= 3; ++i) {
    oscillators.push_back(
        kernels::coefficients(h, 2 * std::numbers::pi / period_of(data, i), dt, false));
  }
  const std::vector<double> a = samples_of(data, size, 5, 96);
  if (a.size() < 2) return {};
  std::vector<kernels::peak_response> fast(3), slow(3), sampled(3);
  kernels::run_continuous(a, dt, oscillators, fast);
  kernels::run_continuous_scalar(a, dt, oscillators, slow);
  kernels::run_batch({.ddy = a, .step = dt, .oscillators = oscillators}, sampled);
  for (std::size_t i = 0; i < 3; ++i) {
    const double got[3] = {fast[i].sd, fast[i].sv, fast[i].sa};
    const double want[3] = {slow[i].sd, slow[i].sv, slow[i].sa};
    const double at_samples[3] = {sampled[i].sd, sampled[i].sv, sampled[i].sa};
    for (int o = 0; o < 3; ++o) {
      if (std::bit_cast<std::uint64_t>(got[o]) != std::bit_cast<std::uint64_t>(want[o])) {
        return "the bounded kernel misses a peak its definition finds";
      }
      if (!(got[o] >= at_samples[o])) return "a continuous peak under the peak at the samples";
    }
  }
  // A pair of the two halves at the first period: every angle as its definition has it.
  const std::size_t half = a.size() / 2;
  if (half < 2 || half > 24) return {};
  const std::span<const double> u1(a.data(), half), u2(a.data() + half, half);
  std::vector<kernels::pair_response> pair(1), pair_slow(1);
  kernels::run_continuous_pair(u1, u2, dt, std::span(oscillators).first(1), pair);
  kernels::run_continuous_pair_scalar(u1, u2, dt, std::span(oscillators).first(1), pair_slow);
  if (pair[0].sd != pair_slow[0].sd || pair[0].sv != pair_slow[0].sv ||
      pair[0].sa != pair_slow[0].sa) {
    return "the bounded pair kernel misses an angle's peak its definition finds";
  }
  return {};
}

std::string check_pair(const std::uint8_t* data, std::size_t size) {
  if (size < 7) return {};
  // A quiet end of 600 zeros when the sixth byte is odd, a scale by its next three bits; the
  // samples from the seventh on, the first half one component and the second half the other.
  constexpr double dt = kernel_dt;
  const double h = damping_of(data);
  struct oscillator {
    int steps;
    kernels::oscillator_coefficients c;
  };
  std::vector<oscillator> by_steps;
  for (int i = 1; i <= 3; ++i) {
    const double period = period_of(data, i);
    const int k = spectra::substeps(period, dt);
    by_steps.push_back({k, kernels::coefficients(h, 2 * std::numbers::pi / period, dt / k, false)});
  }
  std::stable_sort(by_steps.begin(), by_steps.end(),
                   [](const oscillator& a, const oscillator& b) { return a.steps > b.steps; });
  std::vector<kernels::oscillator_coefficients> oscillators;
  std::vector<int> steps;
  for (const oscillator& o : by_steps) {
    oscillators.push_back(o.c);
    steps.push_back(o.steps);
  }
  std::vector<double> a = samples_of(data, size, 6, 1024);
  // Now and then far out of any record's range: squares that overflow, or that underflow.
  constexpr double far_out[8] = {1, 1, 1, 1, 1, 1e150, 1e-160, 1e-300};
  for (double& v : a) v *= far_out[(data[5] >> 1) % 8];
  const std::size_t half = a.size() / 2;
  if (half < 2) return {};
  std::vector<double> first(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(half));
  std::vector<double> second(a.begin() + static_cast<std::ptrdiff_t>(half),
                             a.begin() + static_cast<std::ptrdiff_t>(2 * half));
  if (data[5] % 2 == 1) {
    first.resize(half + 600, 0.0);
    second.resize(half + 600, 0.0);
  }
  const kernels::pair_batch b{.first = first,
                              .second = second,
                              .interval = dt,
                              .oscillators = oscillators,
                              .substeps_of = steps};
  std::vector<kernels::pair_response> fast(3), twin(3);
  kernels::run_pair(b, fast);
  kernels::run_pair_scalar(b, twin);
  const auto same = [](double x, double y) {
    return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
  };
  for (std::size_t i = 0; i < 3; ++i) {
    for (int t = 0; t < kernels::angles; ++t) {
      if (!same(fast[i].sd[t], twin[i].sd[t]) || !same(fast[i].sv[t], twin[i].sv[t]) ||
          !same(fast[i].sa[t], twin[i].sa[t])) {
        return "the pair kernel misses an angle's peak its twin finds";
      }
    }
  }
  // Each component alone through the batch kernel, one group of sub-steps at a time.
  for (int side = 0; side < 2; ++side) {
    for (std::size_t i = 0; i < 3; ++i) {
      std::vector<kernels::peak_response> alone(1);
      kernels::run_batch({.ddy = side == 0 ? first : second,
                          .substeps = steps[i],
                          .step = dt / steps[i],
                          .oscillators = std::span(oscillators).subspan(i, 1)},
                         alone);
      const kernels::peak_response& p = side == 0 ? fast[i].first : fast[i].second;
      if (!same(p.sd, alone[0].sd) || !same(p.sv, alone[0].sv) || !same(p.sa, alone[0].sa)) {
        return "a component's peak in the pair kernel is not the batch kernel's";
      }
    }
  }
  return {};
}

}  // namespace fuzz
