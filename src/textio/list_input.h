// Reading values from text: the list-directed read (values separated by blanks, commas or line
// ends, with null values, repeat counts and the slash) and the (A40) line read. Pure: both work
// on an input_stream and return what happened; the statement layer decides what a failure means.
#pragma once

#include <array>
#include <span>

#include "textio/input_stream.h"

namespace textio {

inline constexpr int text_length = 40;
// A fixed-length text: blank-padded, as typed or read.
using text40 = std::array<char, text_length>;

// Where a list-directed read stores one value: a double or a 40-character text.
class read_item {
 public:
  read_item(double& value) : real_(&value) {}
  read_item(text40& value) : text_(&value) {}
  double* real() const { return real_; }
  text40* text() const { return text_; }

 private:
  double* real_ = nullptr;
  text40* text_ = nullptr;
};

enum class read_status {
  ok,
  end_of_file,       // the input ended while the read still needed something
  invalid_number,    // a value that cannot start a number
  exponent_field,    // an exponent letter or sign without digits, or an exponent too large
  bad_repeat_count,  // an empty, zero, negative or over-long repeat count
};

// Reads values for the items in order, starting at the beginning of a line, and drops the rest
// of the line that completes the read. A null value leaves its item unchanged. At the end of
// the input the items already read keep their new values.
read_status parse_list(input_stream& in, std::span<const read_item> items);

// Reads one line: its first 40 characters, blank-padded. end_of_file if the input ends before
// a line end.
read_status parse_line(input_stream& in, text40& value);

// The largest exponent a number may carry.
inline constexpr long exponent_max = 99999999;
// Significant digits of a number beyond this are cut off.
inline constexpr int significant_digits_max = 40;

}  // namespace textio
