#include "records/at2.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/numbers.h"
#include "base/strings.h"
#include "records/names.h"

namespace records {
namespace {

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
bool is_separator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == ',';
}

// The fourth line: "NPTS=  16396, DT=   0.005 SEC" or "3930 0.00500 NPTS, DT".
bool read_count_and_interval(std::string_view line, long long& count, double& dt) {
  const std::string l = base::lower(line);
  // "KEY=" or "KEY =": the position just after the equals sign.
  const auto value_of = [&](std::string_view key) -> std::size_t {
    std::size_t at = l.find(key);
    if (at == std::string::npos) return at;
    at += key.size();
    while (at < l.size() && l[at] == ' ') ++at;
    return at < l.size() && l[at] == '=' ? at + 1 : std::string::npos;
  };
  const auto token = [](std::string_view s) {
    s = base::trim(s);
    std::size_t end = 0;
    while (end < s.size() && !is_separator(s[end])) ++end;
    return s.substr(0, end);
  };
  std::vector<std::string_view> numbers;
  const std::size_t npts = value_of("npts"), interval = value_of("dt");
  if (npts != std::string::npos && interval != std::string::npos) {
    numbers = {token(line.substr(npts)), token(line.substr(interval))};
  } else {
    const auto is_number_start = [](char c) {
      return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
    };
    std::string_view rest = line;
    while (!rest.empty() && numbers.size() < 2) {
      std::size_t start = 0;
      while (start < rest.size() && !is_number_start(rest[start])) {
        const char c = rest[start];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return false;
        ++start;
      }
      rest.remove_prefix(start);
      const std::string_view t = token(rest);
      numbers.push_back(t);
      rest.remove_prefix(t.size());
    }
  }
  if (numbers.size() != 2) return false;
  const std::optional<double> n = base::parse_decimal(numbers[0]);
  const std::optional<double> d = base::parse_decimal(numbers[1]);
  if (!n || !d || *n < 0 || *n != std::floor(*n) || *n > 1e15) return false;
  count = static_cast<long long>(*n);
  dt = *d;
  return true;
}

// The digits that end a PEER component name, as an azimuth: "I-ELC180" and "360" name their
// direction; "UP" and "EW" do not.
std::optional<double> azimuth_of(std::string_view name) {
  std::size_t digits = 0;
  while (digits < name.size() && digits < 4 && name[name.size() - 1 - digits] >= '0' &&
         name[name.size() - 1 - digits] <= '9') {
    ++digits;
  }
  if (digits == 0 || digits == 4) return std::nullopt;
  const auto a = base::parse_integer(name.substr(name.size() - digits), 0, 360);
  if (!a) return std::nullopt;
  return static_cast<double>(*a % 360);
}

}  // namespace

bool is_at2(std::string_view head) {
  const std::vector<std::string_view> lines = first_lines(head, 4);
  long long count = 0;
  double dt = 0;
  return lines.size() == 4 && (base::lower(lines[3]).find("npts") != std::string::npos ||
                               read_count_and_interval(lines[3], count, dt));
}

read_result read_at2(std::string_view text, const read_options& options) {
  const std::vector<std::string_view> header = first_lines(text, 4);
  long long count = 0;
  double dt = 0;
  if (header.size() < 4 || !read_count_and_interval(header[3], count, dt)) {
    return refused(base::failure_at_line(4, "expected NPTS and DT on the fourth line"));
  }
  if (!(dt > 0)) return refused(base::failure_at_line(4, "DT is not positive"));
  if (static_cast<unsigned long long>(count) > options.most_samples) {
    return refused(base::failure_at_line(4,
                                         "NPTS is " + std::to_string(count) + ": more than the " +
                                             std::to_string(options.most_samples) +
                                             " samples a component may have",
                                         0, base::code::limit));
  }
  component c;
  c.dt = dt;
  c.unit = "g";
  c.first_line = 5;
  // "Northridge-01, 1/17/1994, Sylmar - Olive View Med FF, 360": event, date, station, component.
  const std::vector<std::string_view> title = base::split(base::trim(header[1]), ',');
  c.channel = std::string(base::trim(title.back()));
  if (title.size() >= 3) {
    c.station = std::string(base::trim(title[title.size() - 2]));
    c.event = std::string(base::trim(title[0]));
  }
  if (title.size() < 2 || c.channel.empty()) c.channel = "1";
  c.vertical = is_vertical_name(c.channel);
  if (!c.vertical) c.azimuth = azimuth_of(c.channel);
  // Every value takes two bytes at least: a count beyond that cannot be right, so it does not
  // size the vector.
  c.acceleration.reserve(
      std::min<std::size_t>(static_cast<std::size_t>(count), text.size() / 2 + 1));

  std::size_t line = 5, at = 0;
  for (int skipped = 0; skipped < 4 && at < text.size(); ++skipped) {
    const std::size_t end = text.find('\n', at);
    at = end == std::string_view::npos ? text.size() : end + 1;
  }
  // Values are scanned where they start, up to the end of the text: a number stops at the first
  // character that cannot continue it, which must then be a separator or the line's end.
  const char* p = text.data() + at;
  const char* const text_end = text.data() + text.size();
  while (p != text_end) {
    if (*p == '\n') {
      ++line;
      ++p;
      continue;
    }
    if (is_separator(*p)) {
      ++p;
      continue;
    }
    double value = 0;
    const char* const after = base::scan_decimal(p, text_end, value);
    if (after == nullptr || (after != text_end && *after != '\n' && !is_separator(*after))) {
      const char* word_end = p;
      while (word_end != text_end && *word_end != '\n' && !is_separator(*word_end)) ++word_end;
      const std::string_view word(p, static_cast<std::size_t>(word_end - p));
      return refused(
          base::failure_at_line(line, "not a number: '" + base::printable(word, 20) + "'"));
    }
    const std::string_view number(p, static_cast<std::size_t>(after - p));
    // Finite in g, a value can still be beyond the doubles in cm/s2.
    if (!std::isfinite(value * base::standard_gravity)) {
      return refused(base::failure_at_line(
          line, "out of range in cm/s2: '" + base::printable(number, 20) + "'"));
    }
    if (c.acceleration.size() == options.most_samples) {
      return refused(base::failure_at_line(
          line,
          "more than the " + std::to_string(options.most_samples) + " samples a component may have",
          0, base::code::limit));
    }
    c.acceleration.push_back(value * base::standard_gravity);
    p = after;
  }
  if (static_cast<long long>(c.acceleration.size()) != count) {
    std::string_view body = text;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.remove_suffix(1);
    return refused(base::failure_at_line(base::line_at(body, body.size()),
                                         "NPTS is " + std::to_string(count) + " but " +
                                             std::to_string(c.acceleration.size()) +
                                             " values follow"));
  }
  if (count < 2) return refused(base::failure_at_line(4, "fewer than two samples"));
  read_result result;
  result.components.push_back(std::move(c));
  return result;
}

}  // namespace records
