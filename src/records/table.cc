#include "records/table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>

#include "base/numbers.h"
#include "base/strings.h"

namespace records {
namespace {

constexpr std::size_t columns = 4;  // the time and three components

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// The items of a header line: separated by commas, or by blanks where the line has no comma.
std::vector<std::string_view> header_items(std::string_view line) {
  std::vector<std::string_view> items;
  if (line.find(',') != std::string_view::npos) {
    for (std::string_view item : base::split(line, ',')) items.push_back(base::trim(item));
    return items;
  }
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && is_blank(line[at])) ++at;
    std::size_t end = at;
    while (end < line.size() && !is_blank(line[end])) ++end;
    if (end > at) items.push_back(line.substr(at, end - at));
    at = end;
  }
  return items;
}

// The samples of the lines from offset `from` up to `to` (a line start, or the end), scaled to
// cm/s2.
struct samples_part {
  std::vector<double> acceleration[3];
  double times[2] = {0, 0};  // of the first two samples
  std::size_t samples = 0;
  std::size_t first_line = 0;  // of the first sample, counted from the part's start
  std::optional<base::status> error;
  std::size_t error_offset = 0;  // where, to give it a line number once the parts are joined
};

samples_part read_samples(std::string_view text, std::size_t from, std::size_t to, double scale,
                          std::size_t room, std::size_t most) {
  samples_part part;
  for (auto& a : part.acceleration) a.reserve(room);
  const char* p = text.data() + from;
  const char* const end = text.data() + to;
  std::size_t line = 0;
  const auto fail = [&](const char* at, std::string what) {
    part.error = base::failure_at_line(0, std::move(what));
    part.error_offset = static_cast<std::size_t>(at - text.data());
  };
  while (p < end) {
    const char* const line_start = p;
    const auto* newline =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* const line_end = newline ? newline : end;
    double v[columns];
    std::size_t count = 0;
    bool bad = false;
    while (p < line_end) {
      while (p < line_end && is_blank(*p)) ++p;
      if (p == line_end) break;
      if (count > 0 && *p == ',') {
        ++p;
        while (p < line_end && is_blank(*p)) ++p;
      }
      double value = 0;
      const char* after = base::scan_decimal(p, line_end, value);
      if (!after || (after < line_end && !is_blank(*after) && *after != ',')) {
        bad = true;
        break;
      }
      if (count < columns) v[count] = value;
      ++count;
      p = after;
    }
    if (bad) {
      const char* token_end = p;
      while (token_end < line_end && !is_blank(*token_end) && *token_end != ',') ++token_end;
      const std::string_view token(p, static_cast<std::size_t>(token_end - p));
      fail(line_start, token.find(';') != std::string_view::npos
                           ? "values separated by semicolons: separate them by commas or blanks"
                           : "not a number: '" + base::printable(token, 20) + "'");
      return part;
    }
    p = newline ? newline + 1 : end;
    ++line;
    if (count == 0) continue;  // a blank line
    if (count != columns) {
      std::string what = std::to_string(count) + (count == 1 ? " value" : " values") +
                         " where the header names 4 (the time and three components)";
      if (count == 2 * columns) what += ": decimal commas? write 0.01, not 0,01";
      fail(line_start, what);
      return part;
    }
    bool finite = true;  // in cm/s2 a value can go beyond the doubles even where it was not
    for (std::size_t k = 1; k < columns; ++k) finite = finite && std::isfinite(v[k] * scale);
    if (!finite) {
      fail(line_start, "a value out of range in cm/s2");
      return part;
    }
    if (part.samples == most) {
      fail(line_start, "more than the " + std::to_string(most) + " samples a component may have");
      part.error->code = base::code::limit;
      return part;
    }
    if (part.samples < 2) part.times[part.samples] = v[0];
    if (part.samples == 0) part.first_line = line;
    ++part.samples;
    for (std::size_t k = 0; k < 3; ++k) part.acceleration[k].push_back(v[k + 1] * scale);
  }
  return part;
}

}  // namespace

bool is_table(std::string_view head) {
  // A first line of four items, and a second that starts with a number.
  const std::size_t first_end = head.find('\n');
  if (first_end == std::string_view::npos) return false;
  if (header_items(head.substr(0, first_end)).size() != columns) return false;
  std::string_view second = head.substr(first_end + 1);
  while (!second.empty() && is_blank(second.front())) second.remove_prefix(1);
  double value = 0;
  return !second.empty() && base::scan_decimal(second.data(), second.data() + second.size(), value);
}

read_result read_table(std::string_view text, const read_options& options,
                       std::size_t halves_from) {
  const std::size_t header_end = std::min(text.find('\n'), text.size());
  const std::vector<std::string_view> items = header_items(text.substr(0, header_end));
  if (items.size() != columns) {
    return refused(base::failure_at_line(
        1, "the first line must name the time and three components (4 items, not " +
               std::to_string(items.size()) + ")"));
  }
  read_result result;
  std::optional<base::acceleration_unit> unit;
  for (std::size_t k = 0; k < columns; ++k) {
    double number = 0;
    const char* after =
        base::scan_decimal(items[k].data(), items[k].data() + items[k].size(), number);
    if (after == items[k].data() + items[k].size()) {
      return refused(
          base::failure_at_line(1,
                                "the first line holds numbers: it must name the columns, as in "
                                "Time(s),NS(gal),EW(gal),UD(gal)"));
    }
    if (k == 0) continue;
    const std::string_view item = items[k];
    const std::size_t open = item.find('(');
    const std::size_t close = item.rfind(')');
    component c;
    c.channel = std::string(base::trim(item.substr(0, open)));
    if (c.channel.empty()) c.channel = std::to_string(k);
    c.vertical = k == 3;
    if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
      const std::string_view named = item.substr(open + 1, close - open - 1);
      const std::optional<base::acceleration_unit> u = base::parse_unit(named);
      if (!u)
        return refused(base::failure_at_line(1, "unknown unit '" + base::printable(named) + "'"));
      if (unit && *u != *unit)
        return refused(base::failure_at_line(1, "the components are in different units"));
      unit = u;
    }
    result.components.push_back(std::move(c));
  }
  if (unit && options.units && *unit != *options.units) {
    return refused(base::failure_at_line(
        1, "the header names " + std::string(base::unit_name(*unit)) + ", --units says " +
               std::string(base::unit_name(*options.units)) + ": which is it?"));
  }
  if (!unit) unit = options.units;
  if (!unit)
    return refused(
        base::failure_at_line(1, "the header names no unit: give --units g, gal or m/s2"));
  const double scale = base::in_gal(*unit);

  // A long table is read in two halves at once, split at a line start: every sample is a line.
  const std::size_t body = header_end < text.size() ? header_end + 1 : text.size();
  const auto lines = static_cast<std::size_t>(
      std::count(text.begin() + static_cast<std::ptrdiff_t>(body), text.end(), '\n'));
  std::size_t middle = text.size();
  if (text.size() - body >= halves_from) {
    const std::size_t line_end = text.find('\n', body + (text.size() - body) / 2);
    if (line_end != std::string_view::npos) middle = line_end + 1;
  }
  samples_part first, second;
  std::thread reader;
  if (middle < text.size()) {
    try {
      reader = std::thread([&] {
        second =
            read_samples(text, middle, text.size(), scale, lines / 2 + 1, options.most_samples);
      });
    } catch (const std::system_error&) {
      middle = text.size();  // no thread to be had: one pass
    }
  }
  first = read_samples(text, body, middle, scale, lines + 1, options.most_samples);
  if (reader.joinable()) reader.join();
  for (samples_part* part : {&first, &second}) {
    if (part->error) {
      base::status s = *part->error;
      s.line = base::line_at(text, part->error_offset);
      return refused(std::move(s));
    }
  }
  const std::size_t samples = first.samples + second.samples;
  if (samples > options.most_samples) {
    return refused(base::failure_at_line(
        base::line_at(text, middle),
        "more than the " + std::to_string(options.most_samples) + " samples a component may have",
        0, base::code::limit));
  }
  double times[2] = {0, 0};
  std::size_t timed = 0;
  for (const samples_part* part : {&first, &second}) {
    for (std::size_t i = 0; i < std::min<std::size_t>(2, part->samples) && timed < 2; ++i) {
      times[timed++] = part->times[i];
    }
  }
  if (samples < 2) {
    std::string_view read = text;
    while (!read.empty() && (read.back() == '\n' || read.back() == '\r')) read.remove_suffix(1);
    return refused(
        base::failure_at_line(base::line_at(read, read.size()), "fewer than two samples"));
  }
  // As sdofresp: the interval is that of the first two samples.
  const double dt = times[1] - times[0];
  const std::size_t first_line = first.samples > 0
                                     ? 1 + first.first_line
                                     : base::line_at(text, middle) + second.first_line - 1;
  if (!(dt > 0) || !std::isfinite(dt)) {
    return refused(base::failure_at_line(first_line + 1, "the first two times do not increase"));
  }
  for (std::size_t k = 0; k < 3; ++k) {
    component& c = result.components[k];
    c.acceleration = std::move(first.acceleration[k]);
    c.acceleration.insert(c.acceleration.end(), second.acceleration[k].begin(),
                          second.acceleration[k].end());
    c.dt = dt;
    c.unit = std::string(base::unit_name(*unit));
    c.first_line = first_line;
  }
  return result;
}

}  // namespace records
