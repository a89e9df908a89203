#include "spectra/records.h"

#include <gtest/gtest.h>

#include <string>

#include "spectra/grids.h"

namespace spectra {
namespace {

const std::string at2_head =
    "PEER NGA STRONG MOTION DATABASE RECORD\n"
    "Northridge-01, 1/17/1994, Sylmar - Olive View Med FF, 360\n"
    "ACCELERATION TIME SERIES IN UNITS OF G\n";

// The fourth line of an AT2 file, as the database has written it over the years.
TEST(At2, HeaderForms) {
  for (const char* count_line : {"NPTS=      4, DT=   0.005 SEC", "NPTS=  4, DT= .00500 SEC",
                                 "     4   .00500   NPTS, DT", "NPTS = 4, DT = 0.005 SEC"}) {
    SCOPED_TRACE(count_line);
    const read_result r =
        read_record(at2_head + count_line + "\n  .1E-01 -.2E-01\n.3E-01\t+0.4E-1\n");
    ASSERT_TRUE(r.ok()) << r.error.message;
    EXPECT_TRUE(r.record.at2);
    EXPECT_EQ(r.record.dt, 0.005);
    ASSERT_EQ(r.record.components.size(), 1u);
    EXPECT_EQ(r.record.components[0].name, "360");
    EXPECT_FALSE(r.record.components[0].vertical);
    const std::vector<double> expected = {0.01 * standard_gravity, -0.02 * standard_gravity,
                                          0.03 * standard_gravity, 0.04 * standard_gravity};
    EXPECT_EQ(r.record.components[0].acceleration, expected);
  }
}

struct failure_row {
  const char* name;
  std::string text;
  std::size_t line;
  const char* message;
};

TEST(At2, Failures) {
  const std::string four = "NPTS= 4, DT= 0.01 SEC\n";
  const failure_row rows[] = {
      {"short", at2_head + four + "1 2 3\n", 5, "NPTS is 4 but 3 values follow"},
      {"long", at2_head + four + "1 2 3\n4 5\n", 6, "NPTS is 4 but 5 values follow"},
      {"garbled", at2_head + four + "1 2\n3 x4\n", 6, "not a number: 'x4'"},
      {"no interval", at2_head + "NPTS= 4, DT= 0 SEC\n1 2 3 4\n", 4, "DT is not positive"},
      {"not finite", at2_head + four + "1 2 3 1e999\n", 5, "not a number: '1e999'"},
      // found by fuzzing: finite in g, beyond the doubles in cm/s2
      {"too large in gal", at2_head + four + "1 2 3 1e306\n", 5, "not a number: '1e306'"},
  };
  for (const failure_row& row : rows) {
    const read_result r = read_record(row.text);
    EXPECT_FALSE(r.ok()) << row.name;
    EXPECT_EQ(r.error.line, row.line) << row.name;
    EXPECT_EQ(r.error.message, row.message) << row.name;
  }
}

// sdofresp's layout: the unit from the header, or from --units; names without the unit.
TEST(TableRecord, UnitsAndNames) {
  const std::string samples = "0,1,2,3\n0.01,4,5,6\n";
  const read_result gal = read_record("Time(s),NS(gal),EW(gal),UD(gal)\n" + samples);
  ASSERT_TRUE(gal.ok());
  EXPECT_EQ(gal.record.dt, 0.01);
  EXPECT_EQ(gal.record.components[1].name, "EW");
  EXPECT_EQ(gal.record.components[1].acceleration, (std::vector<double>{2, 5}));
  EXPECT_TRUE(gal.record.components[2].vertical);

  const read_result g = read_record("t,a(g),b(g),c(g)\n" + samples);
  ASSERT_TRUE(g.ok());
  EXPECT_EQ(g.record.components[0].acceleration[1], 4 * standard_gravity);

  const read_result none = read_record("Time,NS,EW,UD\n" + samples);
  EXPECT_FALSE(none.ok());
  EXPECT_EQ(none.error.message, "the header names no unit: give --units g, gal or m/s2");
  const read_result given = read_record("Time,NS,EW,UD\n" + samples, acceleration_unit::m_per_s2);
  ASSERT_TRUE(given.ok());
  EXPECT_EQ(given.record.components[2].acceleration[0], 300);

  const read_result mixed = read_record("t,a(g),b(gal),c(g)\n" + samples);
  EXPECT_EQ(mixed.error.message, "the components are in different units");
  const read_result huge = read_record("t,a(g),b(g),c(g)\n0,1,2,3\n0.01,1,2,5.8E306\n");
  EXPECT_EQ(huge.error.line, 3u);  // found by fuzzing: finite in g, beyond the doubles in gal
  EXPECT_EQ(huge.error.message, "a value out of range");
  const read_result bad = read_record("t,NS(gal),EW(gal),UD(gal)\n0,1,2,3\n0.01,1,x,3\n");
  EXPECT_EQ(bad.error.line, 3u);
  EXPECT_EQ(bad.error.message, "invalid number");
}

TEST(Names, VerticalsAndRecordNumbers) {
  for (const char* v : {"UP", "DWN", "V", "VER", "Z", "I-ELC-UP", "down"}) {
    EXPECT_TRUE(is_vertical_name(v)) << v;
  }
  for (const char* h : {"360", "090", "NS", "EW", "HNE", "180"})
    EXPECT_FALSE(is_vertical_name(h)) << h;
  EXPECT_EQ(record_sequence_number("data/RSN1063_NORTHR_RRS228.AT2"), "RSN1063");
  EXPECT_EQ(record_sequence_number("rsn6_x.AT2"), "RSN6");
  EXPECT_EQ(record_sequence_number("RSNx_1.AT2"), "");
  EXPECT_EQ(record_sequence_number("RSN12.AT2"), "");
  EXPECT_EQ(read_path_list("a.AT2\n\n# skipped\n  b.csv  \r\n"),
            (std::vector<std::string>{"a.AT2", "b.csv"}));
}

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
    EXPECT_FALSE(parse_periods(wrong).error.empty()) << wrong;
  }
  EXPECT_EQ(parse_dampings("0,0.05,0.2").values, (std::vector<double>{0, 0.05, 0.2}));
  for (const char* wrong : {"1", "5", "-0.01", "0.05,", "x"}) {
    EXPECT_FALSE(parse_dampings(wrong).error.empty()) << wrong;
  }
}

}  // namespace
}  // namespace spectra
