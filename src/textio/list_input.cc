// The list-directed reader. A read walks the input once; a value's separator (blanks and at
// most one comma, or a line end) is consumed when the next value is looked for, so that a comma
// with no value before it is a null value.
#include "textio/list_input.h"

#include <charconv>
#include <cstdint>
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

double to_double(const significand& s, long exponent, bool negative) {
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
  struct number {
    read_status status = read_status::ok;
    bool is_repeat = false;
    std::uint64_t repeat = 0;
    double real = 0;
  };

  read_status read_real(value& v);
  read_status read_text(value& v);
  number read_number(bool repeat_allowed);
  read_status drop_rest_of_line(bool seen_other);
  void skip_blanks() {
    while (is_blank(in_.peek())) in_.skip();
  }

  input_stream& in_;
  bool after_value_ = false;  // the separator of the last value is still to be consumed
  bool glued_ = false;        // the last value ended on a character that separates nothing
};

read_status list_reader::read(std::span<const read_item> items) {
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

read_status list_reader::read_real(value& v) {
  // A number glued to the previous value ("1.5x", "1.5.3") cannot be read.
  if (glued_) return read_status::invalid_number;
  number n = read_number(true);
  if (n.status != read_status::ok) return n.status;
  if (n.is_repeat) {
    v.repeat = n.repeat;
    if (ends_value(in_.peek())) {
      v.null = true;
      return read_status::ok;
    }
    n = read_number(false);
    if (n.status != read_status::ok) return n.status;
  }
  v.real = n.real;
  return read_status::ok;
}

list_reader::number list_reader::read_number(bool repeat_allowed) {
  number result;
  int c = in_.peek();
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    in_.skip();
    c = in_.peek();
  }
  significand s;
  bool any_digit = false;
  for (; is_digit(c); in_.skip(), c = in_.peek()) {
    s.add_integer_digit(c);
    any_digit = true;
  }
  if (c == '*' && repeat_allowed) {
    in_.skip();
    if (negative || s.count == 0 || s.count > significant_digits_max) {
      result.status = read_status::bad_repeat_count;
    } else {
      result.is_repeat = true;
      result.repeat = s.as_count();
    }
    return result;
  }
  if (c == '.') {
    in_.skip();
    for (c = in_.peek(); is_digit(c); in_.skip(), c = in_.peek()) {
      s.add_fraction_digit(c);
      any_digit = true;
    }
  }
  if (!any_digit) {
    result.status = read_status::invalid_number;
    return result;
  }

  // The exponent: a letter E, e, D or d with an optional sign, or a sign alone.
  long exponent = 0;
  const bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd';
  if (letter) {
    in_.skip();
    c = in_.peek();
  }
  if (letter || c == '+' || c == '-') {
    bool exponent_negative = false;
    if (c == '+' || c == '-') {
      exponent_negative = c == '-';
      in_.skip();
    }
    c = in_.peek();
    if (!is_digit(c)) {
      result.status = read_status::exponent_field;
      return result;
    }
    for (; is_digit(c); in_.skip(), c = in_.peek()) {
      if (exponent <= exponent_max) exponent = exponent * 10 + (c - '0');
    }
    if (exponent > exponent_max) {
      result.status = read_status::exponent_field;
      return result;
    }
    if (exponent_negative) exponent = -exponent;
  }
  glued_ = !ends_value(c);
  result.real = to_double(s, exponent, negative);
  return result;
}

read_status list_reader::read_text(value& v) {
  v.text.fill(' ');
  std::size_t length = 0;
  const auto append = [&](int c) {
    if (length < v.text.size()) v.text[length] = static_cast<char>(c);
    ++length;
  };
  int c = in_.peek();

  // Digits and an asterisk are a repeat count, other digits start the text itself.
  significand count;
  for (; is_digit(c); in_.skip(), c = in_.peek()) {
    count.add_integer_digit(c);
    append(c);
  }
  if (c == '*' && count.count > 0) {
    in_.skip();
    if (count.count > significant_digits_max) return read_status::bad_repeat_count;
    v.repeat = count.as_count();
    v.text.fill(' ');
    length = 0;
    c = in_.peek();
    if (ends_value(c)) {
      v.null = true;
      return read_status::ok;
    }
  }

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

read_status read_list(input_stream& in, std::span<const read_item> items) {
  return list_reader(in).read(items);
}

read_status read_line(input_stream& in, text40& value) {
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
