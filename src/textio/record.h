// Assembly of output records: list-directed records (console messages, file headers) and
// formatted records of fixed-width numeric fields separated by commas.
#pragma once

#include <cassert>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "textio/fields.h"

namespace textio {

// One F or E edit descriptor: Fw.d or Ew.d.
struct field {
  char kind;
  int width;
  int decimals;
};

// A format of the shape "(Fw.d,r(',',Ew.d))": one field, then r times a comma and a field.
// This is the shape of every numeric line the program writes.
struct record_format {
  std::string_view text;
  field first;
  int repeat;
  field repeated;

  constexpr int items() const { return repeat + 1; }
  constexpr int length() const { return first.width + repeat * (1 + repeated.width); }
};

namespace format_detail {
consteval int parse_number(std::string_view text, std::size_t& at) {
  if (at >= text.size() || text[at] < '0' || text[at] > '9') throw std::logic_error("digit");
  int n = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') n = n * 10 + (text[at++] - '0');
  return n;
}
consteval field parse_field(std::string_view text, std::size_t& at) {
  const char kind = text[at++];
  if (kind != 'F' && kind != 'E') throw std::logic_error("F or E expected");
  const int width = parse_number(text, at);
  if (text[at++] != '.') throw std::logic_error("point expected");
  return {kind, width, parse_number(text, at)};
}
consteval void expect(std::string_view text, std::size_t& at, std::string_view literal) {
  if (text.substr(at, literal.size()) != literal) throw std::logic_error("unexpected text");
  at += literal.size();
}
}  // namespace format_detail

// Reads a format text at compile time, so that the text shown in error reports and the fields
// written cannot disagree.
consteval record_format parse_format(std::string_view text) {
  std::size_t at = 0;
  format_detail::expect(text, at, "(");
  const field first = format_detail::parse_field(text, at);
  format_detail::expect(text, at, ",");
  const int repeat = format_detail::parse_number(text, at);
  format_detail::expect(text, at, "(',',");
  const field repeated = format_detail::parse_field(text, at);
  format_detail::expect(text, at, "))");
  if (at != text.size()) throw std::logic_error("trailing text");
  return {text, first, repeat, repeated};
}

template <field f>
char* render_field(char* out, double value) {
  if constexpr (f.kind == 'F') {
    return format_fixed<f.width, f.decimals>(out, value);
  } else {
    return format_exponential<f.width, f.decimals>(out, value);
  }
}

// Renders one formatted record, without its line end, into out (room for format.length()).
// items.size() must equal format.items(). Returns the end.
template <const record_format& format>
char* render_formatted(char* out, std::span<const double> items) {
  assert(static_cast<int>(items.size()) == format.items());
  out = render_field<format.first>(out, items[0]);
  for (std::size_t i = 1; i < items.size(); ++i) {
    *out++ = ',';
    out = render_field<format.repeated>(out, items[i]);
  }
  return out;
}

// An item of a list-directed record.
class list_item {
 public:
  enum class kind { text, integer, real };
  list_item(const char* text) : kind_(kind::text), text_(text) {}
  list_item(std::string_view text) : kind_(kind::text), text_(text) {}
  list_item(std::int32_t value) : kind_(kind::integer), integer_(value) {}
  list_item(double value) : kind_(kind::real), real_(value) {}

  kind type() const { return kind_; }
  std::string_view text() const { return text_; }
  std::int32_t integer() const { return integer_; }
  double real() const { return real_; }

 private:
  kind kind_;
  std::string_view text_;
  std::int32_t integer_ = 0;
  double real_ = 0;
};

// A list-directed write: appends its records, each with its line end, to out. No items gives
// one empty line. A record that would reach 80 characters is ended before the item that
// would make it so.
void render_list(std::span<const list_item> items, std::string& out);

}  // namespace textio
