#include "records/esm.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/strings.h"
#include "records/seed_channel.h"

namespace records {
namespace {

struct header_entry {
  std::string_view key, value;
  std::size_t line = 0;
};

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

bool starts_number(std::string_view text) {
  double ignored = 0;
  return !text.empty() && base::scan_decimal(text.data(), text.data() + text.size(), ignored);
}

// Whole digits of a fixed count: "2014" of "20140120".
std::optional<int> digits_of(std::string_view text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return std::nullopt;
  }
  return static_cast<int>(*base::parse_integer(text, 0, 9999));
}

// The first sample's time, written in either layout despite the key's name:
// "20140120_071230.000" (DYNA 1.0) or "14/11/2010 23:09:19.300" (older ESM exports); also
// "2010/11/14 23:09:19" and "2010-11-14T23:09:19".
std::optional<base::utc_time> parse_first_sample_time(std::string_view text) {
  const std::size_t split = text.find_first_of("_ T");
  if (split == std::string_view::npos) return std::nullopt;
  const std::string_view date = text.substr(0, split), time = base::trim(text.substr(split + 1));
  std::optional<int> year, month, day, hour, minute;
  if (date.size() == 8) {
    year = digits_of(date.substr(0, 4));
    month = digits_of(date.substr(4, 2));
    day = digits_of(date.substr(6, 2));
  } else {
    const char separator = date.find('/') != std::string_view::npos ? '/' : '-';
    const std::vector<std::string_view> parts = base::split(date, separator);
    if (parts.size() != 3) return std::nullopt;
    const bool year_first = parts[0].size() == 4;
    year = digits_of(year_first ? parts[0] : parts[2]);
    month = digits_of(parts[1]);
    day = digits_of(year_first ? parts[2] : parts[0]);
  }
  std::string_view seconds;
  if (time.find(':') != std::string_view::npos) {
    const std::vector<std::string_view> parts = base::split(time, ':');
    if (parts.size() != 3) return std::nullopt;
    hour = digits_of(parts[0]);
    minute = digits_of(parts[1]);
    seconds = parts[2];
  } else {
    if (time.size() < 6) return std::nullopt;
    hour = digits_of(time.substr(0, 2));
    minute = digits_of(time.substr(2, 2));
    seconds = time.substr(4);
  }
  const std::optional<double> second = base::parse_decimal(seconds);
  if (!year || !month || !day || !hour || !minute || !second || seconds.front() == '-' ||
      seconds.front() == '+') {
    return std::nullopt;
  }
  return base::make_utc(*year, *month, *day, *hour, *minute, *second);
}

}  // namespace

bool is_esm(std::string_view head) {
  return head.substr(0, 11) == "EVENT_NAME:" ||
         head.find("\nHEADER_FORMAT: DYNA") != std::string_view::npos;
}

read_result read_esm(std::string_view text, const read_options& options) {
  // The header: "KEY: value" lines (values may hold colons) up to the first line of a number.
  std::vector<header_entry> header;
  header.reserve(64);
  std::size_t at = 0, line = 1;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view raw = text.substr(at, end - at);
    const std::string_view trimmed = base::trim(raw);
    if (starts_number(trimmed)) break;
    if (!trimmed.empty()) {
      const std::size_t colon = raw.find(':');
      if (colon == std::string_view::npos) {
        return refused(base::failure_at_line(
            line, "expected KEY: value or a number, not '" + base::printable(trimmed) + "'"));
      }
      header.push_back({.key = base::trim(raw.substr(0, colon)),
                        .value = base::trim(raw.substr(colon + 1)),
                        .line = line});
    }
    at = end + 1;
    ++line;
  }
  // The line of the first value, or the last line when none follows.
  at = std::min(at, text.size());
  const std::size_t data_line = base::line_at(text, at);
  const auto find = [&](std::string_view key) -> const header_entry* {
    for (const header_entry& e : header) {
      if (e.key == key) return &e;
    }
    return nullptr;
  };
  const auto required = [&](std::string_view key, const header_entry*& e) {
    e = find(key);
    return e ? base::status{}
             : base::failure_at_line(data_line, "no " + std::string(key) + " in the header");
  };

  const header_entry *type = nullptr, *units = nullptr, *interval = nullptr, *ndata = nullptr;
  if (auto s = required("DATA_TYPE", type)) return refused(s);
  if (base::lower(type->value) != "acceleration") {
    return refused(
        base::failure_at_line(type->line, "DATA_TYPE is " + base::printable(type->value) +
                                              ": only acceleration time series are records"));
  }
  if (auto s = required("UNITS", units)) return refused(s);
  if (auto s = required("SAMPLING_INTERVAL_S", interval)) return refused(s);
  if (auto s = required("NDATA", ndata)) return refused(s);

  component c;
  std::optional<base::acceleration_unit> unit = base::parse_unit(units->value);
  if (!unit && units->value.empty()) unit = options.units;
  if (!unit) {
    return refused(base::failure_at_line(
        units->line,
        units->value.empty()
            ? std::string("UNITS is empty: give --units g, gal or m/s2")
            : "UNITS is '" + base::printable(units->value) + "': not a unit of acceleration"));
  }
  c.unit = base::unit_name(*unit);
  const double scale = base::in_gal(*unit);
  const std::optional<double> dt = base::parse_decimal(interval->value);
  if (!dt || !(*dt > 0)) {
    return refused(base::failure_at_line(interval->line, "SAMPLING_INTERVAL_S is '" +
                                                             base::printable(interval->value) +
                                                             "': not a positive number"));
  }
  c.dt = *dt;
  // Every value takes a line of two bytes at least: a count beyond that is wrong, and is not
  // trusted to size memory.
  const std::size_t room = (text.size() - at + 1) / 2;
  const std::optional<long long> count =
      base::parse_integer(ndata->value, 0, std::numeric_limits<long long>::max());
  if (!count) {
    return refused(base::failure_at_line(
        ndata->line, "NDATA is '" + base::printable(ndata->value) + "': not a count"));
  }
  const auto expected = static_cast<unsigned long long>(*count);
  if (expected > options.most_samples) {
    return refused(base::failure_at_line(
        ndata->line,
        "NDATA is " + std::to_string(expected) + ": more than the " +
            std::to_string(options.most_samples) + " samples a component may have",
        0, base::code::limit));
  }
  if (expected > room) {
    return refused(base::failure_at_line(
        ndata->line, "NDATA is " + std::to_string(expected) + " but the file has room for " +
                         std::to_string(room) + " values at most"));
  }

  if (const header_entry* e = find("STREAM")) c.channel = std::string(e->value);
  if (c.channel.empty()) c.channel = "1";
  const seed_orientation o = orientation_of_seed_channel(c.channel);
  c.azimuth = o.azimuth;
  c.vertical = o.vertical;
  if (const header_entry* e = find("NETWORK")) c.network = std::string(e->value);
  if (const header_entry* e = find("STATION_CODE")) c.station = std::string(e->value);
  // DYNA 1.2 writes a place name here at times; a SEED location code has two characters.
  if (const header_entry* e = find("LOCATION"); e && e->value.size() <= 2) {
    c.location = std::string(e->value);
  }
  if (const header_entry* e = find("EVENT_ID")) c.event = std::string(e->value);
  if (c.event.empty()) {
    if (const header_entry* e = find("EVENT_NAME")) c.event = std::string(e->value);
  }
  read_result result;
  if (const header_entry* e = find("DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS");
      e && !e->value.empty()) {
    c.start = parse_first_sample_time(e->value);
    if (!c.start) {
      result.warnings.push_back(base::failure_at_line(
          e->line, "DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS is '" + base::printable(e->value) +
                       "': not a time, the start is left unknown"));
    }
  }

  // One value a line.
  c.acceleration.reserve(expected);
  const char* p = text.data() + at;
  const char* const end = text.data() + text.size();
  line = data_line;
  std::size_t last_value_line = data_line;
  while (p < end) {
    while (p < end && is_blank(*p)) ++p;
    if (p == end) break;
    if (*p == '\n') {
      ++line;
      ++p;
      continue;
    }
    double v = 0;
    const char* const start = p;
    const char* after = base::scan_decimal(p, end, v);
    const char* rest = after;
    while (rest && rest < end && is_blank(*rest)) ++rest;
    if (!after || (after < end && !is_blank(*after) && *after != '\n') ||
        (rest < end && *rest != '\n')) {
      const char* token_end = start;
      while (token_end < end && !is_blank(*token_end) && *token_end != '\n') ++token_end;
      const std::string_view token(start, static_cast<std::size_t>(token_end - start));
      return refused(
          base::failure_at_line(line, after && token_end == after
                                          ? std::string("more than one value on a line")
                                          : "not a number: '" + base::printable(token, 20) + "'"));
    }
    if (c.acceleration.size() == options.most_samples) {
      return refused(base::failure_at_line(
          line,
          "more than the " + std::to_string(options.most_samples) + " samples a component may have",
          0, base::code::limit));
    }
    const double a = scale == 1 ? v : v * scale;
    if (!std::isfinite(a)) {
      return refused(base::failure_at_line(
          line, "out of range in cm/s2: '" +
                    base::printable(
                        std::string_view(start, static_cast<std::size_t>(after - start)), 20) +
                    "'"));
    }
    if (c.acceleration.empty()) c.first_line = line;
    c.acceleration.push_back(a);
    last_value_line = line;
    p = rest;
  }
  if (c.acceleration.size() != expected) {
    return refused(base::failure_at_line(
        last_value_line, "NDATA is " + std::to_string(expected) + " but " +
                             std::to_string(c.acceleration.size()) + " values follow"));
  }
  if (c.acceleration.size() < 2) {
    return refused(base::failure_at_line(last_value_line, "fewer than two samples"));
  }
  result.components.push_back(std::move(c));
  return result;
}

}  // namespace records
