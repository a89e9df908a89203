#include "textio/list_input.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>
#include <string>

namespace textio {
namespace {

constexpr double unchanged = -777.0;  // prefilled: a row can assert that a read left it alone

std::string trimmed(const text40& t) {
  std::string s(t.data(), t.size());
  return s.substr(0, s.find_last_not_of(' ') + 1);
}
text40 text(const char* s) {
  text40 t;
  t.fill(' ');
  for (std::size_t i = 0; s[i] != '\0' && i < t.size(); ++i) t[i] = s[i];
  return t;
}

// The same text as an input stream: from memory, or from a file read one byte at a time, so that
// every buffer boundary (a CR LF split in two included) is crossed.
class source {
 public:
  source(const std::string& content, bool byte_by_byte) {
    if (!byte_by_byte) {
      content_ = content;
      stream_ = std::make_unique<input_stream>(content_);
      return;
    }
    std::FILE* file = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), file);
    std::fflush(file);
    fd_ = ::dup(fileno(file));
    std::fclose(file);
    ::lseek(fd_, 0, SEEK_SET);
    stream_ = std::make_unique<input_stream>(
        [fd = fd_](char* buffer, std::size_t) -> long { return ::read(fd, buffer, 1); });
  }
  ~source() {
    if (fd_ >= 0) ::close(fd_);
  }
  input_stream& stream() { return *stream_; }

 private:
  std::string content_;
  std::unique_ptr<input_stream> stream_;
  int fd_ = -1;
};

// What remains after a read: the next line, as a line read sees it.
std::string next_line(input_stream& in) {
  text40 line;
  return parse_line(in, line) == read_status::ok ? trimmed(line) : "<end>";
}

struct header_row {
  const char* input;
  read_status status;
  const char* heads[4];
  const char* next;  // the line the samples start on
};

// The header read of a record file: four texts.
const header_row header_rows[] = {
    {"Time,NS,EW,UD\n0.00,1,2,3\n", read_status::ok, {"Time", "NS", "EW", "UD"}, "0.00,1,2,3"},
    {"Time, NS\tEW, UD\nL2\n", read_status::ok, {"Time", "NS", "EW", "UD"}, "L2"},
    // blanks separate undelimited texts; the rest of the line is dropped
    {"Time [s], NS [gal], EW [gal], UD [gal]\nL2\n",
     read_status::ok,
     {"Time", "[s]", "NS", "[gal]"},
     "L2"},
    {"'Time [s]','NS [gal]','EW','UD'\nL2\n",
     read_status::ok,
     {"Time [s]", "NS [gal]", "EW", "UD"},
     "L2"},
    // the slash ends the read
    {"t,acc(cm/s2),b,c\nL2\n", read_status::ok, {"t", "acc(cm", "?", "?"}, "L2"},
    // a short header takes the next line too
    {"Time,NS,EW\n0.00,1,2,3\nL3\n", read_status::ok, {"Time", "NS", "EW", "0.00"}, "L3"},
    {"0.00,1,2,3\nL2\n", read_status::ok, {"0.00", "1", "2", "3"}, "L2"},
    {"", read_status::end_of_file, {"?", "?", "?", "?"}, "<end>"},
    {"Time,NS,EW,UD,extra,more\nL2\n", read_status::ok, {"Time", "NS", "EW", "UD"}, "L2"},
    {"Time,NS,EW,UD\r\nL2\r\n", read_status::ok, {"Time", "NS", "EW", "UD"}, "L2"},  // CR LF
    // quoted texts: doubled delimiters, commas and slashes inside, a line end inside
    {"\"a\"\"b\",'c,d/e','it''s','x\ny'\nL2\n",
     read_status::ok,
     {"a\"b", "c,d/e", "it's", "xy"},
     "L2"},
    // repeat counts for texts; other asterisks belong to the text
    {"2*abc,*x,y*\nL2\n", read_status::ok, {"abc", "abc", "*x", "y*"}, "L2"},
    {"3*,last\nL2\n", read_status::ok, {"?", "?", "?", "last"}, "L2"},
    // a count may carry a plus sign; zero and negative counts are refused, as for numbers
    {"+2*x,y,z\nL2\n", read_status::ok, {"x", "x", "y", "z"}, "L2"},
    {"00*a,b,c,d\n", read_status::bad_repeat_count, {"?", "?", "?", "?"}, "<end>"},
    {"-1*x,b,c,d\n", read_status::bad_repeat_count, {"?", "?", "?", "?"}, "<end>"},
    {"-x,+1,-*y,d\n", read_status::ok, {"-x", "+1", "-*y", "d"}, "<end>"},
    // a text is cut to 40 characters
    {"0123456789012345678901234567890123456789XYZ,b,c,d\n",
     read_status::ok,
     {"0123456789012345678901234567890123456789", "b", "c", "d"},
     "<end>"},
    {"'open,b,c,d\n", read_status::end_of_file, {"?", "?", "?", "?"}, "<end>"},
    {"a,b,c\n", read_status::end_of_file, {"a", "b", "c", "?"}, "<end>"},
};

TEST(ListInput, HeaderReads) {
  for (bool byte_by_byte : {false, true}) {
    for (const header_row& row : header_rows) {
      SCOPED_TRACE(std::string(row.input) + (byte_by_byte ? " (byte by byte)" : ""));
      source in(row.input, byte_by_byte);
      text40 h[4] = {text("?"), text("?"), text("?"), text("?")};
      EXPECT_EQ(parse_list(in.stream(), {{h[0], h[1], h[2], h[3]}}), row.status);
      for (int i = 0; i < 4; ++i) EXPECT_EQ(trimmed(h[i]), row.heads[i]) << "head" << i + 1;
      if (row.status == read_status::ok) {
        EXPECT_EQ(next_line(in.stream()), row.next);
      }
    }
  }
}

struct sample_row {
  const char* input;
  read_status status;
  double values[4];
};

// The sample read: time and three accelerations.
const sample_row sample_rows[] = {
    {"0.00,1.5,-2.25E-1,3\n", read_status::ok, {0.0, 1.5, -0.225, 3.0}},
    {"0.01 1.0D-02\t2 3\n", read_status::ok, {0.01, 0.01, 2.0, 3.0}},
    {"0.02,,5.0,6.0\n", read_status::ok, {0.02, unchanged, 5.0, 6.0}},  // null value
    {"0.03,3*7.5\n", read_status::ok, {0.03, 7.5, 7.5, 7.5}},
    {"0.04,1,2,3,4,5\n", read_status::ok, {0.04, 1.0, 2.0, 3.0}},  // extra values ignored
    {"0.05,1,2\n0.06,9,9,9\n", read_status::ok, {0.05, 1.0, 2.0, 0.06}},
    {"0.07,1,2/3,4\n", read_status::ok, {0.07, 1.0, 2.0, unchanged}},
    {"0.08,1.5-3,2,3\n", read_status::ok, {0.08, 0.0015, 2.0, 3.0}},  // sign starts an exponent
    {"0.09,abc,2,3\n", read_status::invalid_number, {0.09, unchanged, unchanged, unchanged}},
    {"0.10,1.0E,2,3\n", read_status::exponent_field, {0.10, unchanged, unchanged, unchanged}},
    {"0.11;1;2;3\n", read_status::invalid_number, {0.11, unchanged, unchanged, unchanged}},
    {"9.99,1,2,3", read_status::ok, {9.99, 1.0, 2.0, 3.0}},  // last line without a line end
    {"9.99,1,2,3 \t", read_status::ok, {9.99, 1.0, 2.0, 3.0}},
    {"9.99,1,2,3,", read_status::end_of_file, {9.99, 1.0, 2.0, 3.0}},  // stored, not complete
    {"9.99,1,2", read_status::end_of_file, {9.99, 1.0, 2.0, unchanged}},
    {"0.12,1,2,3abc\n", read_status::ok, {0.12, 1.0, 2.0, 3.0}},  // glued to the last value
    {"0.13,1.5x,2,3\n", read_status::invalid_number, {0.13, 1.5, unchanged, unchanged}},
    {"0.14,1.5.3,2,3\n", read_status::invalid_number, {0.14, 1.5, unchanged, unchanged}},
    {"0.15,3*7.5x\n", read_status::ok, {0.15, 7.5, 7.5, 7.5}},  // the repeat completes the read
    {"\n\n  0.16 , 1 ,\n 2,\t3\n", read_status::ok, {0.16, 1.0, 2.0, 3.0}},  // spans lines
    {"0.17\n,2,3,4\n", read_status::ok, {0.17, unchanged, 2.0, 3.0}},  // comma first on a line
    {",1,2,3\n", read_status::ok, {unchanged, 1.0, 2.0, 3.0}},
    {"0.18,2*,9\n", read_status::ok, {0.18, unchanged, unchanged, 9.0}},
    {"0.18,2* 9\n", read_status::ok, {0.18, unchanged, unchanged, 9.0}},     // r* then a blank
    {"0.18,1,2*\n9\n", read_status::ok, {0.18, 1.0, unchanged, unchanged}},  // r* at a line end
    {"0.19,1,2,3\r\n", read_status::ok, {0.19, 1.0, 2.0, 3.0}},
    // a lone CR is no line end: it follows the last value, so the line is incomplete
    {"0.20,1,2,3\r", read_status::end_of_file, {0.20, 1.0, 2.0, 3.0}},
    {"/\n", read_status::ok, {unchanged, unchanged, unchanged, unchanged}},
    {"0.21,*5\n", read_status::bad_repeat_count, {0.21, unchanged, unchanged, unchanged}},
    {"0.22,0*5\n", read_status::bad_repeat_count, {0.22, unchanged, unchanged, unchanged}},
    {"0.23,-2*5\n", read_status::bad_repeat_count, {0.23, unchanged, unchanged, unchanged}},
    {"0.24,+2*5,6\n", read_status::ok, {0.24, 5.0, 5.0, 6.0}},
    {"0.25,'1',2,3\n", read_status::invalid_number, {0.25, unchanged, unchanged, unchanged}},
    {"", read_status::end_of_file, {unchanged, unchanged, unchanged, unchanged}},
    {"\n \n", read_status::end_of_file, {unchanged, unchanged, unchanged, unchanged}},
};

TEST(ListInput, SampleReads) {
  for (bool byte_by_byte : {false, true}) {
    for (const sample_row& row : sample_rows) {
      SCOPED_TRACE(std::string(row.input) + (byte_by_byte ? " (byte by byte)" : ""));
      source in(row.input, byte_by_byte);
      double v[4] = {unchanged, unchanged, unchanged, unchanged};
      EXPECT_EQ(parse_list(in.stream(), {{v[0], v[1], v[2], v[3]}}), row.status);
      for (int i = 0; i < 4; ++i) EXPECT_EQ(v[i], row.values[i]) << "value " << i + 1;
    }
  }
}

TEST(ListInput, ReadsContinueOnTheNextLine) {
  source in("0.05,1,2\n0.06,9,9,9\n0.07,1,2,3\n", false);
  double v[4];
  ASSERT_EQ(parse_list(in.stream(), {{v[0], v[1], v[2], v[3]}}), read_status::ok);
  ASSERT_EQ(parse_list(in.stream(), {{v[0], v[1], v[2], v[3]}}), read_status::ok);
  EXPECT_EQ(v[0], 0.07);  // the rest of the second line went with the first read
  EXPECT_FALSE(in.stream().met_end());
  EXPECT_EQ(parse_list(in.stream(), {{v[0], v[1], v[2], v[3]}}), read_status::end_of_file);
  EXPECT_TRUE(in.stream().met_end());
}

TEST(ListInput, ConsoleNumbers) {
  source in("1.0 0.05\n\n\n  2\nx\n", false);
  double per = 0, h = 0, dummy = 0;
  ASSERT_EQ(parse_list(in.stream(), {{per}}), read_status::ok);
  EXPECT_EQ(per, 1.0);
  ASSERT_EQ(parse_list(in.stream(), {{h}}),
            read_status::ok);  // 0.05 was dropped, blank lines skipped
  EXPECT_EQ(h, 2.0);
  EXPECT_EQ(parse_list(in.stream(), {{dummy}}), read_status::invalid_number);
}

struct number_row {
  const char* input;
  read_status status;
  double value;
};

// One number alone on a line.
const number_row number_rows[] = {
    {".5", read_status::ok, 0.5},
    {"5.", read_status::ok, 5.0},
    {"+5", read_status::ok, 5.0},
    {"-5e-1", read_status::ok, -0.5},
    {"1d2", read_status::ok, 100.0},
    {"1D-2", read_status::ok, 0.01},
    {"1e+2", read_status::ok, 100.0},
    {"1.5+3", read_status::ok, 1500.0},
    {"000123.4500", read_status::ok, 123.45},
    {"0.000000000000000000000000000000000000000000000000001", read_status::ok, 1e-51},
    // at most 40 significant digits: the rest is cut off, not rounded
    // (1 + 2^-53 is the tie between 1 and the next double; the digits past the 40th would
    // put it above the tie)
    {"1.00000000000000011102230246251565404236316680908203125001", read_status::ok, 1.0},
    // the 40th digit puts it above that tie
    {"1.000000000000000111022302462515654042364", read_status::ok, 1 + 0x1p-52},
    {"12345678901234567890123456789012345678909999e-43", read_status::ok,
     1.234567890123456789012345678901234567890},
    {"1e99999999", read_status::ok, std::numeric_limits<double>::infinity()},
    {"-1e99999999", read_status::ok, -std::numeric_limits<double>::infinity()},
    {"1e-99999999", read_status::ok, 0.0},
    {"1e100000000", read_status::exponent_field, unchanged},
    {"1e000000000000005", read_status::ok, 1e5},  // leading zeros of an exponent are harmless
    {"4.9406564584124654e-324", read_status::ok, std::numeric_limits<double>::denorm_min()},
    {"1.7976931348623157e308", read_status::ok, std::numeric_limits<double>::max()},
    {"1Q5", read_status::ok, 1.0},  // Q is no exponent letter
    {"1E", read_status::exponent_field, unchanged},
    {"1E+", read_status::exponent_field, unchanged},
    {"1-", read_status::exponent_field, unchanged},
    {"+", read_status::invalid_number, unchanged},
    {".", read_status::invalid_number, unchanged},
    {"-.e5", read_status::invalid_number, unchanged},
    {"abc", read_status::invalid_number, unchanged},
    {"*", read_status::bad_repeat_count, unchanged},
    {"00000000000000000000000000000000000000000000002*5", read_status::ok, 5.0},
    {"10000000000000000000000000000000000000000*5", read_status::bad_repeat_count, unchanged},
};

TEST(ListInput, Numbers) {
  for (const number_row& row : number_rows) {
    SCOPED_TRACE(row.input);
    source in(std::string(row.input) + "\n", false);
    double v = unchanged;
    EXPECT_EQ(parse_list(in.stream(), {{v}}), row.status);
    EXPECT_EQ(v, row.value);
  }
}

TEST(ListInput, NumbersWithoutNonzeroDigitsArePositiveZero) {
  for (const char* input : {"-0", "-0.000", "-0e5", "+.0"}) {
    source in(input, false);
    double v = unchanged;
    ASSERT_EQ(parse_list(in.stream(), {{v}}), read_status::ok) << input;
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(std::signbit(v)) << input;
  }
  source in("-1e-400", false);  // a nonzero number that underflows keeps its sign
  double v = unchanged;
  ASSERT_EQ(parse_list(in.stream(), {{v}}), read_status::ok);
  EXPECT_TRUE(v == 0.0 && std::signbit(v));
}

// Up to 40 digits the value is the correctly rounded one, whichever path converts it.
TEST(ListInput, NumbersAgreeWithStrtod) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 200000; ++i) {
    std::string text = (random() % 2) ? "-" : "";
    const int digits = 1 + static_cast<int>(random() % (i % 4 == 0 ? 40 : 19));
    const int point = static_cast<int>(random() % static_cast<unsigned>(digits + 1));
    for (int k = 0; k < digits; ++k) {
      if (k == point) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    text += 'e';
    text += std::to_string(static_cast<int>(random() % 80) - 40);
    source in(text, false);
    double v = unchanged;
    ASSERT_EQ(parse_list(in.stream(), {{v}}), read_status::ok) << text;
    const double expected = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(v, expected == 0 ? 0.0 : expected) << text;  // no nonzero digit reads as +0
    ASSERT_EQ(std::signbit(v), expected != 0 && std::signbit(expected)) << text;
  }
}

TEST(ListInput, LineReads) {
  struct {
    const char* input;
    read_status status;
    const char* value;
    const char* next;
  } rows[] = {
      {"data.csv\nL2\n", read_status::ok, "data.csv", "L2"},
      {"  lead\tand tab  \nL2\n", read_status::ok, "  lead\tand tab", "L2"},  // kept as typed
      {"\nL2\n", read_status::ok, "", "L2"},
      {"crlf.csv\r\nL2\n", read_status::ok, "crlf.csv", "L2"},
      {"0123456789012345678901234567890123456789-dropped\nL2\n", read_status::ok,
       "0123456789012345678901234567890123456789", "L2"},
      {"no line end", read_status::end_of_file, "no line end", "<end>"},
      {"", read_status::end_of_file, "", "<end>"},
  };
  for (bool byte_by_byte : {false, true}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(row.input);
      source in(row.input, byte_by_byte);
      text40 value = text("?");
      EXPECT_EQ(parse_line(in.stream(), value), row.status);
      EXPECT_EQ(trimmed(value), row.value);
      if (row.status == read_status::ok) {
        EXPECT_EQ(next_line(in.stream()), row.next);
      }
    }
  }
}

}  // namespace
}  // namespace textio
