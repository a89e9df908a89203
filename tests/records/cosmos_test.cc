#include "records/cosmos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/time.h"
#include "fixed_width_support.h"
#include "records/table.h"

namespace records {
namespace {

using testing_support::format_file;

// Each bundled file read as its headers say: V1 "Max = -161.962 cm/sec2" (text line 11),
// azimuth 340 (integer 54), 10 ms (real 62); V2 the channel of <SCNL>BMR.BNZ.AK.-- (integer 54
// is 0), the peak of real 64, the seconds of real 30.
TEST(Cosmos, BundledFiles) {
  const struct {
    const char* file;
    const char* network;
    testing_support::header_says says;
  } rows[] = {
      {"cosmos/Cosmos12TimeSeriesTest.v1",
       "CE",
       {"340", 340, false, 7000, 0.01, "cm/s2", "J2236", "2005-06-16T20:53:04.4Z", "-161.962", 47}},
      {"cosmos/us1000hyfh_akbmrp_AKBMR--n.1000hyfh.BNZ.--.acc.V2c",
       "AK",
       {"BNZ",
        {},
        true,
        42000,
        0.005,
        "cm/s2",
        "BMR",
        "2018-11-30T17:29:39.13749Z",
        "-6.851512",
        54}},
  };
  for (const auto& row : rows) {
    const read_result r = read_cosmos(format_file(row.file), {});
    ASSERT_TRUE(r.ok()) << r.status.line << ": " << r.status.what;
    ASSERT_EQ(r.components.size(), 1u);
    testing_support::expect_as_header_says(r.components[0], row.says);
    EXPECT_EQ(r.components[0].network, row.network);
  }
}

// A block written on the bundled V1's headers (10 ms in real 62): parameter 1 (acceleration) or
// 2 (velocity) in integer 2, the azimuth code in integer 54, then the samples in (8F9.4), whose
// fields touch where a value takes 9 columns.
std::string block(const component& c, int parameter, int azimuth, const std::string& line_end) {
  std::string s = format_file("cosmos/Cosmos12TimeSeriesTest.v1");
  s.resize(s.find("   7000  acc"));
  s.replace(s.find("       2       1       4"), 24,
            "       2       " + std::to_string(parameter) + "       4");
  s.replace(s.find("    1889     340"), 16, "    1889     " + std::to_string(azimuth));
  s += std::to_string(c.acceleration.size()) +
       " acceleration pts, units=cm/sec2(04),Format=(8F9.4)\n";
  for (std::size_t k = 0; k < c.acceleration.size(); ++k) {
    char field[32];
    std::snprintf(field, sizeof field, "%9.4f", c.acceleration[k]);
    s += field;
    if (k % 8 == 7 || k + 1 == c.acceleration.size()) s += "\n";
  }
  s += "End-of-data for Chan  1 acceleration\n";
  for (std::size_t at = s.find('\n'); at != std::string::npos;
       at = s.find('\n', at + line_end.size())) {
    s.replace(at, 1, line_end);
  }
  return s;
}

// El Centro written as V2 blocks (with a velocity block among them, which is not a record) and
// read back: the same samples, bit for bit, since the text holds all their digits; CR LF too.
TEST(Cosmos, RoundTrip) {
  const read_result table = read_table(
      testing_support::file_text(std::string(EXAMPLES_DIR) + "/elcentro1940-array9.csv"), {});
  ASSERT_TRUE(table.ok());
  const component &ns = table.components[0], &ew = table.components[1], &ud = table.components[2];
  ASSERT_EQ(ns.dt, 0.01);
  for (const char* line_end : {"\n", "\r\n"}) {
    const std::string text = block(ns, 1, 360, line_end) + block(ns, 2, 360, line_end) +
                             block(ew, 1, 90, line_end) + block(ud, 1, 400, line_end);
    const auto digit_then_minus = [](char a, char b) { return a >= '0' && a <= '9' && b == '-'; };
    ASSERT_NE(std::adjacent_find(text.begin() + static_cast<long>(text.find("(8F9.4)")), text.end(),
                                 digit_then_minus),
              text.end())
        << "no fields that touch";
    const read_result r = read_cosmos(text, {});
    ASSERT_TRUE(r.ok()) << r.status.line << ": " << r.status.what;
    ASSERT_EQ(r.components.size(), 3u);
    EXPECT_EQ(r.components[0].acceleration, ns.acceleration);
    EXPECT_EQ(r.components[1].acceleration, ew.acceleration);
    EXPECT_EQ(r.components[2].acceleration, ud.acceleration);
    EXPECT_EQ(r.components[0].azimuth, 0.0);
    EXPECT_EQ(r.components[1].channel, "90");
    EXPECT_TRUE(r.components[2].vertical);
    EXPECT_EQ(r.components[2].dt, 0.01);
  }
}

// What the reader refuses, on edits of the V1 file: its data line is line 46, 8 values a line
// from line 47 to 921.
TEST(Cosmos, Refusals) {
  const std::string v1 = format_file("cosmos/Cosmos12TimeSeriesTest.v1");
  testing_support::expect_refusals(
      read_cosmos, v1,
      {
          {"an empty line 13 means -999", "   -.00001", "  -999.000", 47,
           "sample 1 is missing (-999, the file's value for unknown): a record with a gap is "
           "not read",
           "unspecified:   -999, -999.0", "unspecified:"},
          {"the file's own value for unknown", "   -.00001", "  -888.000", 47,
           "sample 1 is missing (-888, the file's value for unknown): a record with a gap is "
           "not read",
           "-999, -999.0", "-999, -888.0"},
          {"a blank sample", "   -.00001", "          ", 47,
           "value 1 of 7000 acceleration values is blank"},
          {"not a number", "    .00001    .00011", "    .0x001    .00011", 48,
           "not a number: '.0x001'"},
          {"a count larger than the file", "   7000  acc", "  70000  acc", 46,
           "the rest of the file is too short for the 70000 acceleration values announced"},
          {"a count smaller than the values", "   7000  acc", "   6999  acc", 921,
           "more values than the 6999 acceleration values announced"},
          {"a data format that does not parse", "Format=(8F10.5)", "Format=(8Q10.5)", 46,
           "expected the count and format of the data, as in '   7000  acceleration pts, "
           "approx   70 secs, units=cm/sec2(04),Format=(8F10.5)'"},
          {"a line count that does not match", "on  10 lines", "on  11 lines", 14,
           "100 integer-header values take 10 lines, not 11"},
          {"counts", "       1       4     120", "       1      50     120", 46,
           "the data are counts (units code 50): read the record's V1 or V2 file, in units of "
           "acceleration",
           "cm/sec2(04)", "counts (50)"},
          {"no interval", "    10.000000    70.000000", "  -999.000000    70.000000", 36,
           "the sampling interval (real header 62, in ms) is unknown"},
          {"velocity only", "       2       1       4", "       2       2       4", 1,
           "no acceleration in the file: its blocks hold other quantities"},
      });
  // Files cut short: before line 34 (in the real header), before line 400 (in the data).
  const read_result in_header = read_cosmos(v1.substr(0, v1.find("  -999.000000     2.6")), {});
  EXPECT_EQ(in_header.status.line, 33u);
  EXPECT_EQ(in_header.status.what, "the file ends after 48 of 100 real-header values");
  const read_result in_data = read_cosmos(v1.substr(0, v1.find("  44.94946  52.29023")), {});
  EXPECT_EQ(in_data.status.line, 46u);
  EXPECT_EQ(in_data.status.what,
            "the rest of the file is too short for the 7000 acceleration values announced");
}

}  // namespace
}  // namespace records
