#include "records/smc.h"

#include <gtest/gtest.h>

#include <string>

#include "base/time.h"
#include "fixed_width_support.h"

namespace records {
namespace {

using testing_support::format_file;

// The bundled file read as its headers say: 7183 samples (integer 17) at 200 per second (real
// 2), azimuth 133 (integers 13 and 14), "pk = -222.5" (text line 7), values that touch.
TEST(Smc, BundledFile) {
  const read_result r = read_smc(format_file("smc/np01002p_4225a_a.smc"), {});
  ASSERT_TRUE(r.ok()) << r.status.line << ": " << r.status.what;
  ASSERT_EQ(r.components.size(), 1u);
  // 1989, day 291, 00:04:00, milliseconds unknown
  testing_support::expect_as_header_says(
      r.components[0],
      {"133", 133, false, 7183, 1.0 / 200, "cm/s2", "A020", "1989-10-18T00:04:00Z", "-222.5", 40});
  // " 3.8688E-1-1.9160E+0" on line 41
  EXPECT_EQ(r.components[0].acceleration[14], 0.38688);
  EXPECT_EQ(r.components[0].acceleration[15], -1.916);
}

// What the reader refuses, on edits of the file: headers on lines 12-27, 12 comments, data from
// line 40 to 937, 8 values a line but 7 on the last.
TEST(Smc, Refusals) {
  const std::string smc = format_file("smc/np01002p_4225a_a.smc");
  const std::string first = " 1.2714E+1 3.5253E+0";
  testing_support::expect_refusals(
      read_smc, smc,
      {
          {"the integer value for unknown", first, "-3.2768E+4 3.5253E+0", 40,
           "sample 1 is missing (-32768, the file's value for unknown): a record with a gap is "
           "not read"},
          {"the real value for unknown", first, " 1.700E+38 3.5253E+0", 40,
           "sample 1 is missing (1.7e+38, the file's value for unknown): a record with a gap is "
           "not read"},
          {"a count larger than the file", "      7183", "     71830", 39,
           "the rest of the file is too short for the 71830 acceleration values announced"},
          {"a count smaller than the values", "      7183", "      7182", 937,
           "more values than the 7182 acceleration values announced"},
          {"a count larger than the values", "      7183", "      7184", 937,
           "the line ends before value 7184 of 7184 acceleration values"},
          {"values beyond the count", "      7183", "      7176", 937,
           "values beyond the 7176 samples of integer header 17"},
          {"velocity", "2 CORRECTED ACCELEROGRAM", "3 VELOCITY              ", 1,
           "'3 VELOCITY' is not an acceleration record"},
          {"no sampling rate", "  0.2000000E+03", "  0.1700000E+39", 18,
           "the sampling rate (real header 2, samples per second) is unknown"},
          {"fewer comments than counted", "       101        12", "       101        11", 39,
           "not a number: '|'"},
      });
}

}  // namespace
}  // namespace records
