// What the tests of the fixed-width readers share: the bundled files, edits of them that a
// reader must refuse, and a peak compared to the digits a header prints.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "base/time.h"
#include "records/component.h"
#include "support/data.h"

namespace testing_support {

inline std::string format_file(const std::string& name) {
  return file_text(std::string(TEST_DATA_DIR) + "/formats/" + name);
}

// What a bundled file's headers say about one of its components.
struct header_says {
  const char* channel;
  std::optional<double> azimuth;
  bool vertical;
  std::size_t samples;
  double dt;
  const char* unit;
  const char* station;
  const char* start;  // UTC
  const char* peak;   // as a header prints it: the peak sample to those digits
  std::size_t first_line;
};

inline void expect_as_header_says(const records::component& c, const header_says& h) {
  SCOPED_TRACE(h.channel);
  EXPECT_EQ(c.channel, h.channel);
  EXPECT_EQ(c.azimuth, h.azimuth);
  EXPECT_EQ(c.vertical, h.vertical);
  EXPECT_EQ(c.acceleration.size(), h.samples);
  EXPECT_EQ(c.dt, h.dt);
  EXPECT_EQ(c.unit, h.unit);
  EXPECT_EQ(c.station, h.station);
  EXPECT_EQ(c.start ? base::format_utc(*c.start) : "", h.start);
  EXPECT_EQ(c.first_line, h.first_line);
  double peak = 0;  // the sample of largest magnitude, with its sign
  for (double v : c.acceleration) {
    if (std::abs(v) > std::abs(peak)) peak = v;
  }
  const std::string printed = h.peak;
  const std::size_t point = printed.find('.');
  const double half_unit = 0.5 * std::pow(10.0, -static_cast<double>(printed.size() - point - 1));
  EXPECT_NEAR(peak, std::stod(printed), half_unit * (1 + 1e-9)) << "printed " << printed;
}

// Edits of a file that its reader refuses: where and why.
struct refusal_row {
  const char* rule;
  std::string from, to;  // the first `from` in the file becomes `to`
  std::size_t line;
  std::string what;
  std::string also_from = {}, also_to = {};  // a second edit, where one is needed
};

inline std::string edited(std::string text, const refusal_row& row) {
  for (const auto& [from, to] :
       {std::pair(row.from, row.to), std::pair(row.also_from, row.also_to)}) {
    if (from.empty()) continue;
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
