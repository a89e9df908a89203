// Fixed-width fields as the Fortran-era record formats (COSMOS, CSMIP/DMG, SMC) lay them out:
// a format line such as "(8F10.5)" says how many values a line holds and how wide each is, and
// values are cut from the line by those widths, never split on blanks, since they may touch
// ("-123.45000-999.0000").
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace records {

// One repeated edit descriptor: "(10I8)" is 10 integers of 8 columns a line.
struct fortran_format {
  int count = 1;      // values a line holds
  char kind = 'F';    // I, F, E, D or G, in upper case
  int width = 1;      // columns of each value
  int decimals = -1;  // digits after the point; -1 where the descriptor gives none
};

// "(10I8)", "(6F13.6)", "8E10.4", "( 8f10.6 )": an optional repeat count (1 to 1000), a letter,
// a width (1 to 100) and, except for I, optional decimals smaller than the width; parentheses
// both or neither; case is ignored. Nothing for anything else, such as "(10I8,2X)" or "(A8)".
std::optional<fortran_format> parse_fortran_format(std::string_view text);

// The first parenthesised group of a line that is a format ("units=cm/sec2(04),Format=(8F10.5)"
// gives 8F10.5: "(04)" is not one).
std::optional<fortran_format> find_fortran_format(std::string_view line);

// Reads the fields 0 to n - 1 (n <= format.count) of a line into values. A field is read as a
// number of its kind: I takes an optional sign and digits, the others a decimal as
// base::scan_decimal reads it (a field without a point is the number it shows: it is not
// scaled by 10^-decimals as a Fortran READ would). Blanks before and after the number are
// ignored. A field that is all blanks, or that the line ends before, reads as `blank` where one
// is given (headers: the file's value for unknown); without one it stops reading. Returns the
// number of fields read: n, or the index of the first field that is blank or not a number.
std::size_t read_fields(std::string_view line, const fortran_format& format, std::size_t n,
                        double* values, const std::optional<double>& blank = std::nullopt);

// The lines of a text one after another, without their LF or CR LF, and their numbers.
class line_reader {
 public:
  explicit line_reader(std::string_view text) : text_(text) {}

  bool at_end() const { return at_ >= text_.size(); }
  // The next line; an empty one at the end.
  std::string_view next();
  // The next line when it is exactly length bytes before its LF or CR LF, found by looking at
  // the byte there rather than by searching; false (nothing read) otherwise. The line may hold
  // LFs of its own: a caller that finds it does not read as expected puts the reader back.
  bool next_of_length(std::size_t length, std::string_view& line);
  // The next line, left to be read again.
  std::string_view peek() const;
  // The 1-based number of the line next() returned last (0 before the first).
  std::size_t line() const { return line_; }
  // Bytes not yet read.
  std::size_t remaining() const { return text_.size() - at_; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t line_ = 0;
};

// Reads n values laid out by format over the lines that follow into values (resized to n):
// format.count a line, the last line the rest. A count that the rest of the text could not hold
// is refused before any memory is reserved (at the line read last), so a header cannot make
// memory be taken that the file does not back. `what` names the values in messages
// ("acceleration values"). Failures name the line and column where reading stopped: a field
// that is not a number, a blank field or a short line where no blank value is given, the end of
// the text.
base::status read_values(line_reader& lines, const fortran_format& format, std::size_t n,
                         std::vector<double>& values, std::string_view what,
                         std::optional<double> blank = std::nullopt);

// Skips the lines that n values of format take, without reading them.
base::status skip_values(line_reader& lines, const fortran_format& format, std::size_t n,
                         std::string_view what);

// What the three formats share around their values.

// Whether text holds word, case ignored (word in lower case).
bool holds(std::string_view text, std::string_view lower_word);
// The text after key on a line, blanks skipped, up to the next blank; empty where the key is
// not there.
std::string_view word_after(std::string_view line, std::string_view key);

// The whole number that a line starts with, after blanks (" 100 Integer-header values ..." is
// 100); nothing where the line starts otherwise or the number exceeds limit.
std::optional<std::size_t> leading_count(std::string_view line, std::size_t limit);

// A header of numbers: value n counted from 1, as the formats' tables count them.
struct header_values {
  std::vector<double> values;
  std::size_t first_line = 0;  // the line of the first value
  fortran_format format;
  double unknown = 0;  // the file's value for unknown

  // Value n where the file gives it (it is there and not the value for unknown).
  std::optional<double> at(std::size_t n) const;
  // Value n where the file gives a whole number in [low, high].
  std::optional<int> whole(std::size_t n, int low, int high) const;
  // The line of value n.
  std::size_t line_of(std::size_t n) const;
};

// Reads a header of n values (blank fields are unknown) from the lines that follow.
base::status read_header(line_reader& lines, const fortran_format& format, std::size_t n,
                         double unknown, std::string_view what, header_values& header);

// Turns samples read in a unit into cm/s2: each is multiplied by factor (cm/s2 per unit). A
// sample equal to one of `missing` (at most two: the file's values for unknown) is refused at
// its line and column, as is one beyond the doubles in cm/s2 (the samples start on first_line,
// laid out by format). An acceleration record with a hole cannot be used as it stands, and no
// filling of the hole (zero, interpolation) would be the record.
base::status scale_samples(std::vector<double>& samples, double factor,
                           std::initializer_list<double> missing, std::size_t first_line,
                           const fortran_format& format);

}  // namespace records
