// The list-directed reader. A read walks the input once; a value's separator (blanks and at
// most one comma, or a line end) is consumed when the next value is looked for, so that a comma
// with no value before it is a null value.
#include "textio/list_input.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

#include "textio/decimal.h"

namespace textio {
namespace {

constexpr int end = input_stream::end;

bool is_blank(int c) {
  return c == ' ' || c == '\t';
}
bool is_digit(int c) {
  return c >= '0' && c <= '9';
}
bool ends_value(int c) {
  return c == ' ' || c == '\t' || c == ',' || c == '/' || c == '\n' || c == end;
}

// The significant digits of a number: leading zeros dropped, the first 40 kept, and the power
// of ten that places the decimal point: value = 0.digits * 10^scale.
struct significand {
  char digits[significant_digits_max];
  int kept = 0;
  long count = 0;
  long scale = 0;
  std::uint64_t value = 0;  // the digits as an integer while there are at most 19

  void add_integer_digit(int c) {
    if (count == 0 && c == '0') return;
    add(c);
    ++scale;
  }
  void add_fraction_digit(int c) {
    if (count == 0 && c == '0') {
      --scale;
      return;
    }
    add(c);
  }
  void add(int c) {
    if (kept < significant_digits_max) digits[kept++] = static_cast<char>(c);
    if (++count <= 19) value = value * 10 + static_cast<unsigned>(c - '0');
  }
  std::uint64_t as_count() const {  // saturates; no read has that many items
    std::uint64_t n = 0;
    for (int i = 0; i < kept && n < 1'000'000'000; ++i)
      n = n * 10 + static_cast<unsigned>(digits[i] - '0');
    return n;
  }
};

inline double to_double(const significand& s, long exponent, bool negative) {
  if (s.count == 0) return 0.0;  // no nonzero digit: +0, whatever the sign
  // An integer below 2^53 and a power of ten up to 10^22 are both exact doubles, so one
  // multiplication or division is the correctly rounded value. Sample values always get here.
  const long power_of_digits = s.scale + exponent - s.count;
  if (s.count <= 19 && s.value <= (std::uint64_t{1} << 53) && power_of_digits >= -22 &&
      power_of_digits <= 22) {
    const auto digits = static_cast<double>(s.value);
    const double power =
        decimal::exact_power_of_ten[power_of_digits < 0 ? -power_of_digits : power_of_digits];
    const double value = power_of_digits < 0 ? digits / power : digits * power;
    return negative ? -value : value;
  }
  char text[significant_digits_max + 32] = {'0', '.'};
  char* p = text + 2;
  for (int i = 0; i < s.kept; ++i) *p++ = s.digits[i];
  *p++ = 'e';
  const long power = s.scale + exponent;
  p = std::to_chars(p, text + sizeof text, power).ptr;
  double value = 0;
  if (std::from_chars(text, p, value).ec == std::errc::result_out_of_range) {
    value = power > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

class list_reader {
 public:
  explicit list_reader(input_stream& in) : in_(in) {}
  read_status read(std::span<const read_item> items);

 private:
  // One value as read: a repeat count (1 without one), whether it is null, and its content.
  struct value {
    std::uint64_t repeat = 1;
    bool null = false;
    double real = 0;
    text40 text;
  };
  // The sign and the digits that begin a value: a repeat count when an asterisk follows them,
  // else the start of a number or of a text.
  struct leading_integer {
    bool negative = false;
    bool any_digit = false;
    significand digits;
  };

  bool read_plain_line(std::span<const read_item> items);
  read_status read_real(value& v);
  read_status read_text(value& v);
  // Reads an optional sign and digits; each character read is passed to keep.
  template <class Keep>
  [[gnu::always_inline]] leading_integer read_leading_integer(Keep keep);
  // After a leading integer: consumes the asterisk of a repeat count and sets v.repeat.
  // Returns false when no asterisk follows.
  bool read_repeat_count(const leading_integer& count, value& v, read_status& status);
  [[gnu::always_inline]] read_status read_number(leading_integer& number, double& real);
  [[gnu::always_inline]] read_status read_mantissa(leading_integer& number);
  [[gnu::always_inline]] read_status read_exponent(long& exponent);
  read_status drop_rest_of_line(bool seen_other);
  void skip_blanks() {
    while (is_blank(in_.peek())) in_.skip();
  }

  input_stream& in_;
  bool after_value_ = false;  // the separator of the last value is still to be consumed
  bool glued_ = false;        // the last value ended on a character that separates nothing
};

// The usual record: numbers only, all on its line, each a sign, digits, a point and an E or D
// exponent with digits, separated by blanks or one comma. It is read straight from memory to
// the same doubles; anything else (a null, a repeat count, a slash, a value on the next line,
// a line end not yet read) is left to the general reader, from the same place.
bool list_reader::read_plain_line(std::span<const read_item> items) {
  constexpr std::size_t most = 8;
  if (items.size() > most) return false;
  for (const read_item& item : items) {
    if (!item.real()) return false;
  }
  const std::string_view ahead = in_.ahead();
  const char* p = ahead.data();
  const char* const end_of_ahead = p + ahead.size();
  const auto skip_blanks_ahead = [&] {
    while (p < end_of_ahead && is_blank(*p)) ++p;
  };
  const auto digit_ahead = [&] { return p < end_of_ahead && is_digit(*p); };
  double values[most];
  for (std::size_t i = 0; i < items.size(); ++i) {
    skip_blanks_ahead();
    if (i > 0 && p < end_of_ahead && *p == ',') {
      ++p;
      skip_blanks_ahead();
    }
    if (p == end_of_ahead) return false;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    // The digits as one integer, leading zeros and all; more than 19 go to the general reader.
    std::uint64_t digits = 0;
    int count = 0, fraction_digits = 0;
    for (; digit_ahead(); ++p, ++count) digits = digits * 10 + static_cast<unsigned>(*p - '0');
    if (p < end_of_ahead && *p == '.') {
      for (++p; digit_ahead(); ++p, ++count, ++fraction_digits) {
        digits = digits * 10 + static_cast<unsigned>(*p - '0');
      }
    }
    if (count == 0 || count > 19 || p == end_of_ahead) return false;
    long exponent = 0;
    if (*p == 'E' || *p == 'e' || *p == 'D' || *p == 'd') {
      ++p;
      const bool negative_exponent = p < end_of_ahead && *p == '-';
      if (p < end_of_ahead && (*p == '+' || *p == '-')) ++p;
      if (!digit_ahead()) return false;
      for (; digit_ahead(); ++p) {
        if (exponent > exponent_max / 10) return false;
        exponent = exponent * 10 + (*p - '0');
      }
      if (negative_exponent) exponent = -exponent;
    }
    // What ends the number: a blank, a comma, or the line end after the last one.
    if (p == end_of_ahead) return false;
    const bool line_end = *p == '\n' || (*p == '\r' && p + 1 < end_of_ahead && p[1] == '\n');
    if (!(is_blank(*p) || *p == ',' || (line_end && i + 1 == items.size()))) return false;
    // As to_double: no nonzero digit is +0; else one exact operation, or the general reader.
    const long power = exponent - fraction_digits;
    if (digits == 0) {
      values[i] = 0.0;
    } else if (digits <= (std::uint64_t{1} << 53) && power >= -22 && power <= 22) {
      const auto whole = static_cast<double>(digits);
      const double scale = decimal::exact_power_of_ten[power < 0 ? -power : power];
      const double magnitude = power < 0 ? whole / scale : whole * scale;
      values[i] = negative ? -magnitude : magnitude;
    } else {
      return false;
    }
  }
  const void* line_end = std::memchr(p, '\n', static_cast<std::size_t>(end_of_ahead - p));
  if (!line_end) return false;
  for (std::size_t i = 0; i < items.size(); ++i) *items[i].real() = values[i];
  in_.consume(static_cast<std::size_t>(static_cast<const char*>(line_end) - ahead.data()) + 1);
  return true;
}

read_status list_reader::read(std::span<const read_item> items) {
  if (read_plain_line(items)) return read_status::ok;
  std::size_t next = 0;
  while (next < items.size()) {
    if (after_value_) {
      skip_blanks();
      if (in_.peek() == ',') in_.skip();
      after_value_ = false;
    }
    int c = in_.peek();
    while (is_blank(c) || c == '\n') {
      in_.skip();
      c = in_.peek();
    }
    if (c == end) return read_status::end_of_file;
    if (c == ',') {  // a null value
      in_.skip();
      ++next;
      continue;
    }
    if (c == '/') {  // the remaining items keep their values
      in_.skip();
      return drop_rest_of_line(false);
    }

    value v;
    const bool is_real = items[next].real() != nullptr;
    const read_status status = is_real ? read_real(v) : read_text(v);
    if (status != read_status::ok) return status;
    for (std::uint64_t k = 0; k < v.repeat && next < items.size(); ++k, ++next) {
      if (v.null) continue;
      if (is_real && items[next].real()) *items[next].real() = v.real;
      if (!is_real && items[next].text()) *items[next].text() = v.text;
    }
    after_value_ = true;
  }
  return drop_rest_of_line(false);
}

template <class Keep>
inline list_reader::leading_integer list_reader::read_leading_integer(Keep keep) {
  leading_integer result;
  int c = in_.peek();
  if (c == '+' || c == '-') {
    result.negative = c == '-';
    keep(c);
    in_.skip();
    c = in_.peek();
  }
  for (; is_digit(c); in_.skip(), c = in_.peek()) {
    result.digits.add_integer_digit(c);
    result.any_digit = true;
    keep(c);
  }
  return result;
}

bool list_reader::read_repeat_count(const leading_integer& count, value& v, read_status& status) {
  if (in_.peek() != '*') return false;
  in_.skip();
  // Zero (no significant digit), negative, empty or over-long counts are refused.
  if (count.negative || count.digits.count == 0 || count.digits.count > significant_digits_max) {
    status = read_status::bad_repeat_count;
    return true;
  }
  v.repeat = count.digits.as_count();
  status = read_status::ok;
  if (ends_value(in_.peek())) v.null = true;  // r* alone: r null values
  return true;
}

read_status list_reader::read_real(value& v) {
  // A number glued to the previous value ("1.5x", "1.5.3") cannot be read.
  if (glued_) return read_status::invalid_number;
  leading_integer number = read_leading_integer([](int) {});
  read_status status = read_status::ok;
  if (read_repeat_count(number, v, status)) {
    if (status != read_status::ok || v.null) return status;
    // The value after the count: a number that cannot be a count itself.
    number = read_leading_integer([](int) {});
  }
  return read_number(number, v.real);
}

// A number from its leading integer on: the fraction, the exponent, the double.
inline read_status list_reader::read_number(leading_integer& number, double& real) {
  read_status status = read_mantissa(number);
  if (status != read_status::ok) return status;
  long exponent = 0;
  if ((status = read_exponent(exponent)) != read_status::ok) return status;
  real = to_double(number.digits, exponent, number.negative);
  return read_status::ok;
}

// The fraction after the integer digits; a number needs a digit on one side of the point.
inline read_status list_reader::read_mantissa(leading_integer& number) {
  if (in_.peek() == '.') {
    in_.skip();
    for (int c = in_.peek(); is_digit(c); in_.skip(), c = in_.peek()) {
      number.digits.add_fraction_digit(c);
      number.any_digit = true;
    }
  }
  return number.any_digit ? read_status::ok : read_status::invalid_number;
}

// An exponent letter E, e, D or d with an optional sign, or a sign alone, then digits.
inline read_status list_reader::read_exponent(long& exponent) {
  int c = in_.peek();
  const bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd';
  if (letter) {
    in_.skip();
    c = in_.peek();
  }
  if (letter || c == '+' || c == '-') {
    const bool negative = c == '-';
    if (c == '+' || c == '-') {
      in_.skip();
      c = in_.peek();
    }
    if (!is_digit(c)) return read_status::exponent_field;
    for (; is_digit(c); in_.skip(), c = in_.peek()) {
      if (exponent <= exponent_max) exponent = exponent * 10 + (c - '0');
    }
    if (exponent > exponent_max) return read_status::exponent_field;
    if (negative) exponent = -exponent;
  }
  glued_ = !ends_value(c);
  return read_status::ok;
}

read_status list_reader::read_text(value& v) {
  v.text.fill(' ');
  std::size_t length = 0;
  const auto append = [&](int c) {
    if (length < v.text.size()) v.text[length] = static_cast<char>(c);
    ++length;
  };

  // A sign and digits followed by an asterisk are a repeat count; else they begin the text.
  const leading_integer count = read_leading_integer(append);
  read_status status = read_status::ok;
  if (count.any_digit && read_repeat_count(count, v, status)) {
    if (status != read_status::ok || v.null) return status;
    v.text.fill(' ');
    length = 0;
  }

  int c = in_.peek();
  if (length == 0 && (c == '\'' || c == '"')) {
    const int quote = c;
    in_.skip();
    for (;;) {
      c = in_.get();
      if (c == end) return read_status::end_of_file;
      if (c == quote) {
        if (in_.peek() != quote) break;
        in_.skip();  // a doubled delimiter stands for one
      } else if (c == '\n') {
        continue;  // the text goes on on the next line
      }
      append(c);
    }
    glued_ = !ends_value(in_.peek());
    return read_status::ok;
  }
  for (; !ends_value(c); in_.skip(), c = in_.peek()) append(c);
  return read_status::ok;
}

// Drops the rest of the line that completed the read. Reaching the end of the input after
// anything but blanks means the line was not complete.
read_status list_reader::drop_rest_of_line(bool seen_other) {
  for (;;) {
    const int c = in_.get();
    if (c == '\n') return read_status::ok;
    if (c == end) return seen_other ? read_status::end_of_file : read_status::ok;
    if (!is_blank(c)) seen_other = true;
  }
}

}  // namespace

read_status parse_list(input_stream& in, std::span<const read_item> items) {
  return list_reader(in).read(items);
}

read_status parse_line(input_stream& in, text40& value) {
  value.fill(' ');
  std::size_t length = 0;
  for (;;) {
    const int c = in.get();
    if (c == '\n') return read_status::ok;
    if (c == end) return read_status::end_of_file;
    if (length < value.size()) value[length++] = static_cast<char>(c);
  }
}

}  // namespace textio
