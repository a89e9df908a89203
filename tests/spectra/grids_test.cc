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

}  // namespace
}  // namespace spectra
