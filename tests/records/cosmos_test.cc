#include "records/cosmos.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/time.h"
#include "fixed_width_support.h"
#include "records/table.h"

namespace records {
namespace {

using testing_support::format_file;

struct file_row {
  const char* file;
  std::size_t samples;
  double dt;
  const char* channel;
  std::optional<double> azimuth;
  bool vertical;
  const char* network;
  const char* station;
  const char* start;
  const char* peak;  // as the header prints it
};

// Each bundled file read as its own header says.
TEST(Cosmos, BundledFiles) {
  const file_row rows[] = {
      // V1: "Max = -161.962 cm/sec2" (text line 11), azimuth 340 (integer 54), 10 ms (real 62)
      {"cosmos/Cosmos12TimeSeriesTest.v1", 7000, 0.01, "340", 340, false, "CE", "J2236",
       "2005-06-16T20:53:04.4Z", "-161.962"},
      // V2: the channel from <SCNL>BMR.BNZ.AK.-- (integer 54 is 0), the peak of real 64
      {"cosmos/us1000hyfh_akbmrp_AKBMR--n.1000hyfh.BNZ.--.acc.V2c",
       42000,
       0.005,
       "BNZ",
       {},
       true,
       "AK",
       "BMR",
       "2018-11-30T17:29:39.13749Z",
       "-6.851512"},
  };
  for (const file_row& row : rows) {
    SCOPED_TRACE(row.file);
    const read_result r = read_cosmos(format_file(row.file), {});
    ASSERT_TRUE(r.ok()) << r.status.line << ": " << r.status.what;
    ASSERT_EQ(r.components.size(), 1u);
    const component& c = r.components[0];
    EXPECT_EQ(c.acceleration.size(), row.samples);
    EXPECT_EQ(c.dt, row.dt);
    EXPECT_EQ(c.unit, "cm/s2");
    EXPECT_EQ(c.channel, row.channel);
    EXPECT_EQ(c.azimuth, row.azimuth);
    EXPECT_EQ(c.vertical, row.vertical);
    EXPECT_EQ(c.network, row.network);
    EXPECT_EQ(c.station, row.station);
    ASSERT_TRUE(c.start);
    EXPECT_EQ(base::format_utc(*c.start), row.start);
    testing_support::expect_to_printed_digits(testing_support::peak(c), row.peak);
  }
}

// A block of COSMOS V2 as a producer writes it: parameter 1 (acceleration) or 2 (velocity),
// the azimuth code, the samples in (8F9.4), whose fields touch where a value takes 9 columns.
std::string block(const component& c, int parameter, int azimuth, const char* line_end) {
  std::string s;
  const auto line = [&](const std::string& text) { s += text + line_end; };
  line("Corrected acceleration    (Format v01.20 with 13 text lines) Src: sdof tests");
  line("Imperial Valley 1940, El Centro array 9");
  line("Hypocenter: 32.733 -115.5  H= 16km ML=6.9");
  line("Origin: 1940/05/19 04:36:41 UTC");
  line("Statn No: 01-00117 Code:XX-ELC     SDOF El Centro");
  for (int k = 6; k <= 12; ++k) line("");
  line("Values used when parameter or data value is unknown/unspecified:   -999, -999.0");
  line(" 100 Integer-header values follow on  10 lines, Format= (10I8)");
  for (int k = 1; k <= 100; ++k) {
    char field[16];
    std::snprintf(field, sizeof field, "%8d",
                  k == 2    ? parameter
                  : k == 3  ? 4
                  : k == 54 ? azimuth
                            : -999);
    s += field;
    if (k % 10 == 0) line("");
  }
  line(" 100 Real-header values follow on  20 lines, Format= (5F15.6)");
  for (int k = 1; k <= 100; ++k) {
    char field[24];
    std::snprintf(field, sizeof field, "%15.6f", k == 62 ? c.dt * 1000 : -999.0);
    s += field;
    if (k % 5 == 0) line("");
  }
  line("  1 Comment line(s) follow, each starting with a \"|\":");
  line("| written by the tests from examples/elcentro1940-array9.csv");
  line("   " + std::to_string(c.acceleration.size()) +
       "  acceleration pts, approx   53 secs, units=cm/sec2(04),Format=(8F9.4)");
  for (std::size_t k = 0; k < c.acceleration.size(); ++k) {
    char field[32];
    std::snprintf(field, sizeof field, "%9.4f", c.acceleration[k]);
    s += field;
    if (k % 8 == 7 || k + 1 == c.acceleration.size()) line("");
  }
  line("End-of-data for Chan  1 acceleration");
  return s;
}

// El Centro written as V2 blocks (with a velocity block among them, which is not a record) and
// read back: the same samples, bit for bit, since the text holds all their digits; CR LF too.
TEST(Cosmos, RoundTrip) {
  const read_result table = read_table(
      testing_support::file_text(std::string(EXAMPLES_DIR) + "/elcentro1940-array9.csv"), {});
  ASSERT_TRUE(table.ok());
  const component &ns = table.components[0], &ew = table.components[1], &ud = table.components[2];
  for (const char* line_end : {"\n", "\r\n"}) {
    const std::string text = block(ns, 1, 360, line_end) + block(ns, 2, 360, line_end) +
                             block(ew, 1, 90, line_end) + block(ud, 1, 400, line_end);
    ASSERT_NE(text.find("0-1"), std::string::npos) << "no fields that touch";
    const read_result r = read_cosmos(text, {});
    ASSERT_TRUE(r.ok()) << r.status.line << ": " << r.status.what;
    ASSERT_EQ(r.components.size(), 3u);
    EXPECT_EQ(r.components[0].acceleration, ns.acceleration);
    EXPECT_EQ(r.components[1].acceleration, ew.acceleration);
    EXPECT_EQ(r.components[2].acceleration, ud.acceleration);
    EXPECT_EQ(r.components[0].azimuth, 0.0);
    EXPECT_EQ(r.components[1].channel, "90");
    EXPECT_TRUE(r.components[2].vertical);
    EXPECT_EQ(r.components[2].dt, ns.dt);
    EXPECT_EQ(r.components[0].event, "1940/05/19 04:36:41 UTC");
  }
}

// What the reader refuses, on edits of the V1 file: its data line is line 46, 8 values a line
// from line 47 to 921.
TEST(Cosmos, Refusals) {
  const std::string v1 = format_file("cosmos/Cosmos12TimeSeriesTest.v1");
  const std::pair<std::string, std::string> first_missing = {"   -.00001    .00013",
                                                             "  -999.000    .00013"};
  const std::string missing =
      "sample 1 is missing (-999, the file's value for unknown): a record with a gap is not read";
  testing_support::expect_refusals(
      read_cosmos, v1,
      {
          {"the value for unknown in the data", {first_missing}, 47, missing},
          {"an empty line 13 means -999",
           {first_missing, {"unknown/unspecified:   -999, -999.0", "unknown/unspecified:"}},
           47,
           missing},
          {"the file's own value for unknown",
           {{"   -.00001", "  -888.000"}, {"-999, -999.0", "-999, -888.0"}},
           47,
           "sample 1 is missing (-888, the file's value for unknown): a record with a gap is "
           "not read"},
          {"a blank sample",
           {{"   -.00001", "          "}},
           47,
           "value 1 of 7000 acceleration values is blank"},
          {"not a number",
           {{"    .00001    .00011", "    .0x001    .00011"}},
           48,
           "not a number: '.0x001'"},
          {"a count larger than the file",
           {{"   7000  acc", "  70000  acc"}},
           46,
           "the rest of the file is too short for the 70000 acceleration values announced"},
          {"a count smaller than the values",
           {{"   7000  acc", "   6999  acc"}},
           921,
           "more values than the 6999 acceleration values announced"},
          {"a data format that does not parse",
           {{"Format=(8F10.5)", "Format=(8Q10.5)"}},
           46,
           "expected the count and format of the data, as in '   7000  acceleration pts, "
           "approx   70 secs, units=cm/sec2(04),Format=(8F10.5)'"},
          {"a line count that does not match",
           {{"on  10 lines", "on  11 lines"}},
           14,
           "100 integer-header values take 10 lines, not 11"},
          {"units codes that disagree",
           {{"cm/sec2(04)", "cm/sec2(02)"}},
           46,
           "units code 2 here but 4 in integer header 3"},
          {"counts",
           {{"       1       4     120", "       1      50     120"},
            {"cm/sec2(04)", "counts (50)"}},
           46,
           "the data are counts (units code 50): read the record's V1 or V2 file, in units of "
           "acceleration"},
          {"a unit of velocity",
           {{"       1       4     120", "       1       5     120"},
            {"cm/sec2(04)", "cm/sec(05)"}},
           46,
           "units code 5 is not a unit of acceleration read here (2 g, 4 cm/s2, 7 in/s2, 10 gal, "
           "11 mg, 12 ug)"},
          {"no interval",
           {{"    10.000000    70.000000", "  -999.000000    70.000000"}},
           36,
           "the sampling interval (real header 62, in ms) is unknown"},
          {"velocity only",
           {{"       2       1       4", "       2       2       4"}},
           1,
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
