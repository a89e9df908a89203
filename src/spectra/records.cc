#include "spectra/records.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>
#include <thread>

#include "textio/input_stream.h"
#include "textio/list_input.h"

namespace spectra {
namespace {

std::string lower(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

std::string_view trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::size_t line_at(std::string_view text, std::size_t offset) {
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
}

// The last line that holds anything: where a reader that met the end stopped.
std::size_t last_line(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return line_at(text, text.size());
}

std::vector<std::string_view> first_lines(std::string_view text, std::size_t count) {
  std::vector<std::string_view> lines;
  while (lines.size() < count && !text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return lines;
}

// What separates values in AT2 files.
bool is_at2_separator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == ',';
}

// A number as written in AT2 files: an optional sign, digits with a point, an E exponent.
bool parse_number(std::string_view token, double& value) {
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  if (token.empty() || token.front() == '+') return false;
  const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  return ec == std::errc() && end == token.data() + token.size() && std::isfinite(value);
}

read_result failure(std::size_t line, std::string message) {
  read_result r;
  r.error = {line, std::move(message)};
  return r;
}

// Why list reading stopped before the end of a record.
const char* why_stopped(textio::read_status status) {
  switch (status) {
    case textio::read_status::end_of_file:
      return "the header needs four items";
    case textio::read_status::invalid_number:
      return "invalid number";
    case textio::read_status::exponent_field:
      return "invalid exponent";
    case textio::read_status::bad_repeat_count:
      return "bad repetition count";
    case textio::read_status::ok:
      break;
  }
  return "";
}

// The samples of a table's lines from one offset on, up to the first record that ends at or
// past another (or the end of the text), accelerations scaled to gal, with room for a number
// of them.
struct samples_part {
  std::vector<double> acceleration[3];
  double times[2] = {0, 0};  // of the first two samples
  std::size_t samples = 0;
  std::size_t end = 0;  // where reading stopped
  std::optional<read_result> error;
};

samples_part read_samples(std::string_view text, std::size_t from, std::size_t to, double scale,
                          std::size_t room) {
  samples_part part;
  for (auto& a : part.acceleration) a.reserve(room);
  textio::input_stream in(text.substr(from));
  while (from + in.offset() < to) {
    double v[4] = {0, 0, 0, 0};
    const std::size_t start = from + in.offset();
    const textio::read_status status = textio::parse_list(in, {{v[0], v[1], v[2], v[3]}});
    if (status == textio::read_status::end_of_file) break;  // an incomplete last line too
    if (status != textio::read_status::ok) {
      part.error = failure(line_at(text, from + in.offset()), why_stopped(status));
      break;
    }
    // In cm/s2 a value can go beyond the doubles even where it was within them in g.
    bool finite = std::isfinite(v[0]);
    for (int k = 1; k < 4; ++k) finite = finite && std::isfinite(v[k] * scale);
    if (!finite) {
      part.error = failure(line_at(text, start), "a value out of range");
      break;
    }
    if (part.samples < 2) part.times[part.samples] = v[0];
    ++part.samples;
    for (int k = 0; k < 3; ++k) part.acceleration[k].push_back(v[k + 1] * scale);
  }
  part.end = from + in.offset();
  return part;
}

// sdofresp's layout: four header items, then samples of time and three accelerations.
read_result read_table(std::string_view text, std::optional<acceleration_unit> unit_if_unstated,
                       std::size_t halves_from) {
  textio::input_stream in(text);
  textio::text40 head[4];
  for (auto& h : head) h.fill(' ');
  const auto stopped = [&](textio::read_status status) {
    return failure(line_at(text, in.offset()), why_stopped(status));
  };
  textio::read_status status = textio::parse_list(in, {{head[0], head[1], head[2], head[3]}});
  if (status != textio::read_status::ok) return stopped(status);

  read_result result;
  std::optional<acceleration_unit> unit;
  for (int k = 0; k < 3; ++k) {
    const std::string_view item = trim({head[k + 1].data(), head[k + 1].size()});
    const std::size_t open = item.find('(');
    const std::size_t close = item.find(')', open);
    component c;
    c.name = std::string(trim(item.substr(0, open)));
    if (c.name.empty()) c.name = std::to_string(k + 1);
    c.vertical = k == 2;
    if (open != std::string_view::npos && close != std::string_view::npos) {
      const std::string_view named = item.substr(open + 1, close - open - 1);
      const std::optional<acceleration_unit> u = parse_unit(named);
      if (!u) return failure(1, "unknown unit '" + std::string(named) + "'");
      if (unit && *u != *unit) return failure(1, "the components are in different units");
      unit = u;
    }
    result.record.components.push_back(std::move(c));
  }
  if (!unit) unit = unit_if_unstated;
  if (!unit) return failure(1, "the header names no unit: give --units g, gal or m/s2");
  const double scale = in_gal(*unit);

  // A long table is read in two halves at once: the second from a line start past the
  // middle, where a record starts unless one runs over lines. The first half then ends
  // exactly there; if not, what follows it is read again.
  const std::size_t body = in.offset();
  // A sample a line, usually: room for them all at once, in the first half's vectors.
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
      reader = std::thread(
          [&] { second = read_samples(text, middle, text.size(), scale, lines / 2 + 1); });
    } catch (const std::system_error&) {
      middle = text.size();  // no thread to be had: one pass
    }
  }
  first = read_samples(text, body, middle, scale, lines + 1);
  if (reader.joinable()) reader.join();
  if (first.error) return *first.error;
  if (first.end != middle) {  // the second half began inside a record: it does not count
    second = first.end < text.size() ? read_samples(text, first.end, text.size(), scale, 0)
                                     : samples_part();
  }
  if (second.error) return *second.error;
  const std::size_t samples = first.samples + second.samples;
  double first_times[2] = {0, 0};
  std::size_t timed = 0;
  for (const samples_part* p : {&first, &second}) {
    for (std::size_t i = 0; i < std::min<std::size_t>(2, p->samples) && timed < 2; ++i) {
      first_times[timed++] = p->times[i];
    }
  }
  for (int k = 0; k < 3; ++k) {
    std::vector<double>& a = result.record.components[k].acceleration;
    a = std::move(first.acceleration[k]);
    a.insert(a.end(), second.acceleration[k].begin(), second.acceleration[k].end());
  }
  if (samples < 2) return failure(last_line(text), "fewer than two samples");
  // As sdofresp: the interval is that of the first two samples.
  result.record.dt = first_times[1] - first_times[0];
  if (!(result.record.dt > 0)) return failure(3, "the first two times do not increase");
  return result;
}

// The fourth line of an AT2 file: "NPTS=  16396, DT=   0.005 SEC" or "3930 0.00500 NPTS, DT".
bool read_count_and_interval(std::string_view line, long& count, double& dt) {
  const std::string l = lower(line);
  std::vector<std::string_view> numbers;
  std::string_view rest = line;
  const auto is_number_start = [](char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
  };
  // "KEY=" or "KEY =": the position just after the equals sign.
  const auto value_of = [&](std::string_view key) -> std::size_t {
    std::size_t at = l.find(key);
    if (at == std::string::npos) return at;
    at += key.size();
    while (at < l.size() && l[at] == ' ') ++at;
    return at < l.size() && l[at] == '=' ? at + 1 : std::string::npos;
  };
  const std::size_t npts = value_of("npts");
  const std::size_t interval = value_of("dt");
  if (npts != std::string::npos && interval != std::string::npos) {
    numbers = {trim(line.substr(npts)), trim(line.substr(interval))};
  } else {
    while (!rest.empty() && numbers.size() < 2) {
      std::size_t start = 0;
      while (start < rest.size() && !is_number_start(rest[start])) {
        if (std::isalpha(static_cast<unsigned char>(rest[start]))) return false;
        ++start;
      }
      rest.remove_prefix(start);
      std::size_t end = 0;
      while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t' && rest[end] != ',') ++end;
      numbers.push_back(rest.substr(0, end));
      rest.remove_prefix(end);
    }
  }
  if (numbers.size() != 2) return false;
  const auto token = [](std::string_view s) {
    std::size_t end = 0;
    while (end < s.size() && !is_at2_separator(s[end])) ++end;
    return s.substr(0, end);
  };
  double n = 0;
  if (!parse_number(token(numbers[0]), n) || !parse_number(token(numbers[1]), dt)) return false;
  if (n < 0 || n != std::floor(n) || n > 1e12) return false;
  count = static_cast<long>(n);
  return true;
}

read_result read_at2(std::string_view text) {
  const std::vector<std::string_view> header = first_lines(text, 4);
  long count = 0;
  double dt = 0;
  if (!read_count_and_interval(header[3], count, dt)) {
    return failure(4, "expected NPTS and DT on the fourth line");
  }
  if (!(dt > 0)) return failure(4, "DT is not positive");
  read_result result;
  result.record.at2 = true;
  result.record.dt = dt;
  component c;
  const std::string_view title = trim(header[1]);
  const std::size_t comma = title.rfind(',');
  c.name = std::string(
      trim(comma == std::string_view::npos ? std::string_view() : title.substr(comma + 1)));
  if (c.name.empty()) c.name.push_back('1');  // (assigning "1" trips a false GCC 12 warning)
  c.vertical = is_vertical_name(c.name);
  c.acceleration.reserve(static_cast<std::size_t>(std::min(count, 100'000'000L)));

  std::size_t line = 5;
  std::size_t at = 0;
  for (int skipped = 0; skipped < 4 && at < text.size(); ++skipped) {
    const std::size_t end = text.find('\n', at);
    at = end == std::string_view::npos ? text.size() : end + 1;
  }
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view rest = text.substr(at, end - at);
    for (;;) {
      std::size_t start = 0;
      while (start < rest.size() && is_at2_separator(rest[start])) ++start;
      rest.remove_prefix(start);
      if (rest.empty()) break;
      std::size_t length = 0;
      while (length < rest.size() && !is_at2_separator(rest[length])) ++length;
      double value = 0;
      if (!parse_number(rest.substr(0, length), value) ||
          !std::isfinite(value * standard_gravity)) {
        return failure(line, "not a number: '" +
                                 std::string(rest.substr(0, std::min<std::size_t>(length, 20))) +
                                 "'");
      }
      c.acceleration.push_back(value * standard_gravity);
      rest.remove_prefix(length);
    }
    at = end + 1;
    ++line;
  }
  if (static_cast<long>(c.acceleration.size()) != count) {
    return failure(last_line(text), "NPTS is " + std::to_string(count) + " but " +
                                        std::to_string(c.acceleration.size()) + " values follow");
  }
  if (count < 2) return failure(4, "fewer than two samples");
  result.record.components.push_back(std::move(c));
  return result;
}

}  // namespace

std::optional<acceleration_unit> parse_unit(std::string_view text) {
  const std::string u = lower(trim(text));
  if (u == "g") return acceleration_unit::g;
  if (u == "gal" || u == "cm/s2" || u == "cm/s^2" || u == "cm/s/s" || u == "cm/sec2" ||
      u == "cm/sec^2") {
    return acceleration_unit::gal;
  }
  if (u == "m/s2" || u == "m/s^2" || u == "m/s/s" || u == "m/sec2" || u == "m/sec^2") {
    return acceleration_unit::m_per_s2;
  }
  return std::nullopt;
}

double in_gal(acceleration_unit unit) {
  switch (unit) {
    case acceleration_unit::g:
      return standard_gravity;
    case acceleration_unit::gal:
      return 1;
    case acceleration_unit::m_per_s2:
      return 100;
  }
  return 1;
}

read_result read_record(std::string_view text, std::optional<acceleration_unit> unit_if_unstated,
                        std::size_t halves_from) {
  const std::vector<std::string_view> header = first_lines(text, 4);
  if (header.size() == 4 && lower(header[3]).find("npts") != std::string::npos) {
    return read_at2(text);
  }
  return read_table(text, unit_if_unstated, halves_from);
}

bool is_vertical_name(std::string_view name) {
  const std::string n = lower(trim(name));
  for (const char* v : {"up", "dwn", "down", "v", "ver", "vert", "z", "ud"}) {
    if (n == v) return true;
  }
  for (const char* suffix : {"up", "dwn", "-v", "ver"}) {
    const std::string_view s = suffix;
    if (n.size() > s.size() && std::string_view(n).substr(n.size() - s.size()) == s) return true;
  }
  return false;
}

std::string record_sequence_number(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (name.size() < 5 || lower(name.substr(0, 3)) != "rsn") return {};
  std::size_t end = 3;
  while (end < name.size() && name[end] >= '0' && name[end] <= '9') ++end;
  if (end == 3 || end >= name.size() || name[end] != '_') return {};
  return "RSN" + std::string(name.substr(3, end - 3));
}

std::vector<std::string> read_path_list(std::string_view text) {
  std::vector<std::string> paths;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = trim(text.substr(0, end));
    if (!line.empty() && line.front() != '#') paths.emplace_back(line);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return paths;
}

}  // namespace spectra
