// What the tests of the fixed-width readers share: the bundled files, edits of them that a
// reader must refuse, and a peak compared to the digits a header prints.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "records/component.h"
#include "support/data.h"

namespace testing_support {

inline std::string format_file(const std::string& name) {
  return file_text(std::string(TEST_DATA_DIR) + "/formats/" + name);
}

// The sample of largest magnitude, with its sign.
inline double peak(const records::component& c) {
  double p = 0;
  for (double v : c.acceleration) {
    if (std::abs(v) > std::abs(p)) p = v;
  }
  return p;
}

// `value` equals the number printed as `printed` to its last digit: within half a unit of it.
inline void expect_to_printed_digits(double value, const std::string& printed) {
  const std::size_t point = printed.find('.');
  const int decimals =
      point == std::string::npos ? 0 : static_cast<int>(printed.size() - point - 1);
  EXPECT_NEAR(value, std::stod(printed), 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9))
      << "printed " << printed;
}

// Edits of a file that its reader refuses: where and why.
struct refusal_row {
  const char* rule;
  std::vector<std::pair<std::string, std::string>> edits;  // the first `from` becomes `to`
  std::size_t line;
  std::string what;
};

inline std::string edited(std::string text, const refusal_row& row) {
  for (const auto& [from, to] : row.edits) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << row.rule << ": no '" << from << "' to edit";
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

template <typename Read>
void expect_refusals(Read read, const std::string& text, std::initializer_list<refusal_row> rows) {
  for (const refusal_row& row : rows) {
    const records::read_result r = read(edited(text, row), records::read_options{});
    EXPECT_FALSE(r.ok()) << row.rule;
    EXPECT_EQ(r.status.line, row.line) << row.rule;
    EXPECT_EQ(r.status.what, row.what) << row.rule;
  }
}

}  // namespace testing_support
