#include "spectra/grids.h"

#include <gtest/gtest.h>

namespace spectra {
namespace {

TEST(Grids, Periods) {
  EXPECT_EQ(parse_periods("nga-west2").values.size(), 111u);
  EXPECT_EQ(parse_periods("gmm").values.size(), 21u);
  EXPECT_EQ(parse_periods("0.1,0.2,1").values, (std::vector<double>{0.1, 0.2, 1}));
  const parsed_values log = parse_periods("log:0.01:10:4");
  ASSERT_EQ(log.values.size(), 4u);
  EXPECT_EQ(log.values.front(), 0.01);
  EXPECT_NEAR(log.values[1], 0.1, 1e-15);
  EXPECT_EQ(log.values.back(), 10);
  for (const char* wrong :
       {"", "0.1,,1", "0,1", "-1", "log:1:0.1:3", "log:0.1:1:2.5", "nga", "log:0.1:1", "1e999"}) {
    EXPECT_FALSE(parse_periods(wrong).status.ok()) << wrong;
  }
  EXPECT_EQ(parse_dampings("0,0.05,0.2").values, (std::vector<double>{0, 0.05, 0.2}));
  for (const char* wrong : {"1", "5", "-0.01", "0.05,", "x"}) {
    EXPECT_FALSE(parse_dampings(wrong).status.ok()) << wrong;
  }
}

TEST(Grids, Percentiles) {
  // Accepted: the ends, fractions, any order (kept as given).
  EXPECT_EQ(parse_percentiles("0,50,84,100").values, (std::vector<double>{0, 50, 84, 100}));
  EXPECT_EQ(parse_percentiles("84.1, 2.5").values, (std::vector<double>{84.1, 2.5}));
  // Refused: outside [0, 100], twice the same, not a list of numbers.
  for (const char* wrong : {"", "101", "-1", "50,50", "50,,84", "nan", "1e999", "RotD50"}) {
    const parsed_values p = parse_percentiles(wrong);
    EXPECT_FALSE(p.status.ok()) << wrong;
    EXPECT_TRUE(p.values.empty()) << wrong;
  }
}

}  // namespace
}  // namespace spectra
