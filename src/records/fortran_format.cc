#include "records/fortran_format.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "base/numbers.h"
#include "base/strings.h"

namespace records {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Digits at p as a number no larger than limit; p moves past them.
std::optional<int> digits(std::string_view text, std::size_t& p, int limit) {
  const std::size_t start = p;
  long value = 0;
  while (p < text.size() && is_digit(text[p])) {
    value = value * 10 + (text[p] - '0');
    if (value > limit) return std::nullopt;
    ++p;
  }
  if (p == start) return std::nullopt;
  return static_cast<int>(value);
}

// An I field: an optional sign and digits. Returns the end of the number or nullptr.
const char* scan_integer(const char* p, const char* end, double& value) {
  const bool negative = p < end && *p == '-';
  if (p < end && (*p == '+' || *p == '-')) ++p;
  const char* const first = p;
  long long n = 0;
  for (; p < end && is_digit(*p); ++p) {
    if (p - first >= 18) return nullptr;  // beyond what the headers hold; no overflow
    n = n * 10 + (*p - '0');
  }
  if (p == first) return nullptr;
  value = static_cast<double>(negative ? -n : n);
  return p;
}

std::string_view field_at(std::string_view line, const fortran_format& format, std::size_t k) {
  const std::size_t from = k * static_cast<std::size_t>(format.width);
  if (from >= line.size()) return {};
  return line.substr(from, static_cast<std::size_t>(format.width));
}

// One field [p, end): blanks around a number, or all blank (then blank's value, if any).
inline bool field_value(const char* p, const char* end, bool integer, double& value,
                        const std::optional<double>& blank) {
  while (p != end && *p == ' ') ++p;
  if (p == end) {
    if (!blank) return false;
    value = *blank;
    return true;
  }
  const char* q = integer ? scan_integer(p, end, value) : base::scan_decimal(p, end, value);
  if (q == nullptr) return false;
  while (q != end && *q == ' ') ++q;
  return q == end;
}

// read_fields, inlined where lines of values are read.
inline std::size_t fields_of(std::string_view line, const fortran_format& format, std::size_t n,
                             double* values, const std::optional<double>& blank) {
  const auto width = static_cast<std::size_t>(format.width);
  const bool integer = format.kind == 'I';
  const char* const data = line.data();
  for (std::size_t k = 0, from = 0; k < n; ++k, from += width) {
    // The field's columns that the line has: none past its end.
    const std::size_t to = std::min(from + width, line.size());
    if (!field_value(data + std::min(from, to), data + to, integer, values[k], blank)) return k;
  }
  return n;
}

// Fields 0 to n - 1 of a line that holds all their columns: whether every one reads (as
// fields_of reads it).
inline bool full_fields(const char* data, const fortran_format& format, std::size_t n,
                        double* values, const std::optional<double>& blank) {
  const auto width = static_cast<std::size_t>(format.width);
  const bool integer = format.kind == 'I';
  for (std::size_t k = 0; k < n; ++k, data += width) {
    if (!field_value(data, data + width, integer, values[k], blank)) return false;
  }
  return true;
}

}  // namespace

std::optional<fortran_format> parse_fortran_format(std::string_view text) {
  text = base::trim(text);
  if (!text.empty() && text.front() == '(') {
    if (text.back() != ')') return std::nullopt;
    text = base::trim(text.substr(1, text.size() - 2));
  } else if (!text.empty() && text.back() == ')') {
    return std::nullopt;
  }
  fortran_format f;
  std::size_t p = 0;
  if (p < text.size() && is_digit(text[p])) {
    const std::optional<int> count = digits(text, p, 1000);
    if (!count || *count < 1) return std::nullopt;
    f.count = *count;
  }
  if (p >= text.size()) return std::nullopt;
  const char letter = static_cast<char>(text[p] >= 'a' && text[p] <= 'z' ? text[p] - 32 : text[p]);
  if (std::string_view("IFEDG").find(letter) == std::string_view::npos) return std::nullopt;
  f.kind = letter;
  ++p;
  const std::optional<int> width = digits(text, p, 100);
  if (!width || *width < 1) return std::nullopt;
  f.width = *width;
  if (p < text.size() && text[p] == '.') {
    ++p;
    const std::optional<int> decimals = digits(text, p, 100);
    if (!decimals || f.kind == 'I' || *decimals >= f.width) return std::nullopt;
    f.decimals = *decimals;
  }
  if (p != text.size()) return std::nullopt;
  return f;
}

std::optional<fortran_format> find_fortran_format(std::string_view line) {
  for (std::size_t open = line.find('('); open != std::string_view::npos;
       open = line.find('(', open + 1)) {
    const std::size_t close = line.find(')', open);
    if (close == std::string_view::npos) return std::nullopt;
    if (auto f = parse_fortran_format(line.substr(open, close - open + 1))) return f;
  }
  return std::nullopt;
}

std::size_t read_fields(std::string_view line, const fortran_format& format, std::size_t n,
                        double* values, const std::optional<double>& blank) {
  return fields_of(line, format, n, values, blank);
}

std::string_view line_reader::next() {
  if (at_ >= text_.size()) return {};
  const char* const start = text_.data() + at_;
  const void* lf = std::memchr(start, '\n', text_.size() - at_);
  std::size_t length =
      lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : text_.size() - at_;
  at_ += length + (lf ? 1 : 0);
  ++line_;
  if (length > 0 && start[length - 1] == '\r') --length;
  return {start, length};
}

bool line_reader::next_of_length(std::size_t length, std::string_view& line) {
  if (length >= text_.size() - at_) return false;
  const char* const start = text_.data() + at_;
  std::size_t ending = 1;
  if (start[length] != '\n') {
    if (start[length] != '\r' || length + 1 >= text_.size() - at_ || start[length + 1] != '\n')
      return false;
    ending = 2;
  }
  line = {start, length};
  at_ += length + ending;
  ++line_;
  return true;
}

std::string_view line_reader::peek() const {
  line_reader copy = *this;
  return copy.next();
}

namespace {

// Whether the rest of the text could hold n values of format: every line but the last of them
// full but for its last value's leading columns, and its line end; with blanks allowed, a line
// end a line.
bool room_for(const line_reader& lines, const fortran_format& format, std::size_t n,
              bool blanks_allowed) {
  if (n == 0) return true;
  const auto per_line = static_cast<std::size_t>(format.count);
  const std::size_t line_count = n / per_line + (n % per_line != 0 ? 1 : 0);
  const std::size_t last = n - (line_count - 1) * per_line;
  const auto width = static_cast<std::size_t>(format.width);
  const std::size_t full_line = blanks_allowed ? 1 : (per_line - 1) * width + 2;
  const std::size_t last_line = blanks_allowed ? 0 : (last - 1) * width + 1;
  const std::size_t room = lines.remaining();
  if (line_count - 1 > room / full_line) return false;
  return (line_count - 1) * full_line + last_line <= room;
}

std::string count_of(std::size_t k, std::size_t n, std::string_view what) {
  return std::to_string(k) + " of " + std::to_string(n) + " " + std::string(what);
}

}  // namespace

base::status read_values(line_reader& lines, const fortran_format& format, std::size_t n,
                         std::vector<double>& values, std::string_view what,
                         std::optional<double> blank) {
  if (!room_for(lines, format, n, blank.has_value())) {
    return base::failure_at_line(lines.line(), "the rest of the file is too short for the " +
                                                   std::to_string(n) + " " + std::string(what) +
                                                   " announced");
  }
  values.resize(n);
  const auto per_line = static_cast<std::size_t>(format.count);
  for (std::size_t done = 0; done < n;) {
    if (lines.at_end()) {
      return base::failure_at_line(lines.line(), "the file ends after " + count_of(done, n, what));
    }
    const std::size_t want = std::min(per_line, n - done);
    const std::size_t used = want * static_cast<std::size_t>(format.width);
    // Nearly every line of values is exactly its fields: read them without searching for the
    // line's end. Any other line (a short one, one with trailing blanks, one that does not read)
    // is read again as a line of its own, which gives the messages.
    const line_reader before = lines;
    std::string_view line;
    if (lines.next_of_length(used, line) &&
        full_fields(line.data(), format, want, values.data() + done, blank)) {
      done += want;
      continue;
    }
    lines = before;
    line = lines.next();
    const std::size_t got = fields_of(line, format, want, values.data() + done, blank);
    if (got != want) {
      const std::string_view field = field_at(line, format, got);
      const std::size_t column = got * static_cast<std::size_t>(format.width) + 1;
      const std::string which = "value " + std::to_string(done + got + 1) + " of " +
                                std::to_string(n) + " " + std::string(what);
      if (column > line.size()) {
        return base::failure_at_line(lines.line(), "the line ends before " + which, column);
      }
      if (base::trim(field).empty()) {
        return base::failure_at_line(lines.line(), which + " is blank", column);
      }
      return base::failure_at_line(
          lines.line(), "not a number: '" + base::printable(base::trim(field), 20) + "'", column);
    }
    // Data lines hold what the count and the format say, and no more: a value beyond them is a
    // count that does not match (Fortran would pass over it).
    if (!blank && used < line.size() && !base::trim(line.substr(used)).empty()) {
      return base::failure_at_line(lines.line(),
                                   want < per_line ? "more values than the " + std::to_string(n) +
                                                         " " + std::string(what) + " announced"
                                                   : "more than the " + std::to_string(per_line) +
                                                         " values a line of " + "this format holds",
                                   used + 1);
    }
    done += want;
  }
  return {};
}

base::status skip_values(line_reader& lines, const fortran_format& format, std::size_t n,
                         std::string_view what) {
  const auto per_line = static_cast<std::size_t>(format.count);
  const std::size_t line_count = n / per_line + (n % per_line != 0 ? 1 : 0);
  for (std::size_t k = 0; k < line_count; ++k) {
    if (lines.at_end()) {
      return base::failure_at_line(lines.line(), "the file ends after " +
                                                     std::to_string(k * per_line) + " of " +
                                                     std::to_string(n) + " " + std::string(what));
    }
    lines.next();
  }
  return {};
}

bool holds(std::string_view text, std::string_view lower_word) {
  return base::lower(text).find(lower_word) != std::string::npos;
}

std::string_view word_after(std::string_view line, std::string_view key) {
  const std::size_t at = line.find(key);
  if (at == std::string_view::npos) return {};
  std::string_view rest = line.substr(at + key.size());
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  return rest.substr(0, rest.find(' '));
}

std::optional<std::size_t> leading_count(std::string_view line, std::size_t limit) {
  std::size_t p = 0;
  while (p < line.size() && line[p] == ' ') ++p;
  const std::size_t start = p;
  std::size_t value = 0;
  for (; p < line.size() && is_digit(line[p]); ++p) {
    value = value * 10 + static_cast<std::size_t>(line[p] - '0');
    if (value > limit) return std::nullopt;
  }
  if (p == start) return std::nullopt;
  return value;
}

base::status scale_samples(std::vector<double>& samples, double factor,
                           std::initializer_list<double> missing, std::size_t first_line,
                           const fortran_format& format) {
  assert(missing.size() <= 2);
  constexpr double none = std::numeric_limits<double>::quiet_NaN();  // equal to nothing
  const double a = missing.size() > 0 ? missing.begin()[0] : none;
  const double b = missing.size() > 1 ? missing.begin()[1] : a;
  // Nearly every file passes: one pass without branches tells whether a sample does not, and
  // only then is the first of them looked for.
  bool any = false;
  for (const double v : samples) {
    const double scaled = v * factor;
    any |= (v == a) | (v == b) | (scaled - scaled != 0);
  }
  for (std::size_t k = 0; any && k < samples.size(); ++k) {
    const double v = samples[k];
    const bool unknown = v == a || v == b;
    if (!unknown && std::isfinite(v * factor)) continue;
    const auto per_line = static_cast<std::size_t>(format.count);
    const std::size_t column = k % per_line * static_cast<std::size_t>(format.width) + 1;
    const std::string number = base::shortest(v);
    return base::failure_at_line(
        first_line + k / per_line,
        unknown ? "sample " + std::to_string(k + 1) + " is missing (" + number +
                      ", the file's value for unknown): a record with a gap is not read"
                : "sample " + std::to_string(k + 1) + " is out of range in cm/s2: " + number,
        column);
  }
  if (factor != 1) {
    for (double& v : samples) v *= factor;
  }
  return {};
}

std::optional<double> header_values::at(std::size_t n) const {
  if (n == 0 || n > values.size() || values[n - 1] == unknown) return std::nullopt;
  return values[n - 1];
}

std::optional<int> header_values::whole(std::size_t n, int low, int high) const {
  const std::optional<double> v = at(n);
  if (!v || *v != std::floor(*v) || *v < low || *v > high) return std::nullopt;
  return static_cast<int>(*v);
}

std::size_t header_values::line_of(std::size_t n) const {
  return first_line + (n - 1) / static_cast<std::size_t>(format.count);
}

base::status read_header(line_reader& lines, const fortran_format& format, std::size_t n,
                         double unknown, std::string_view what, header_values& header) {
  header.first_line = lines.line() + 1;
  header.format = format;
  header.unknown = unknown;
  return read_values(lines, format, n, header.values, what, unknown);
}

}  // namespace records
