#include <gtest/gtest.h>

#include <string>

#include "base/paths.h"
#include "records/names.h"
#include "records/registry.h"

namespace records {
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
        read_any(at2_head + count_line + "\n  .1E-01 -.2E-01\n.3E-01\t+0.4E-1\n", {});
    ASSERT_TRUE(r.ok()) << r.status.what;
    ASSERT_EQ(r.components.size(), 1u);
    EXPECT_EQ(r.components[0].dt, 0.005);
    EXPECT_EQ(r.components[0].channel, "360");
    EXPECT_EQ(r.components[0].station, "Sylmar - Olive View Med FF");
    EXPECT_EQ(r.components[0].azimuth, 0.0);
    EXPECT_EQ(r.components[0].unit, "g");
    EXPECT_FALSE(r.components[0].vertical);
    const std::vector<double> expected = {
        0.01 * base::standard_gravity, -0.02 * base::standard_gravity,
        0.03 * base::standard_gravity, 0.04 * base::standard_gravity};
    EXPECT_EQ(r.components[0].acceleration, expected);
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
      {"too large in gal", at2_head + four + "1 2 3 1e306\n", 5, "out of range in cm/s2: '1e306'"},
  };
  for (const failure_row& row : rows) {
    const read_result r = read_any(row.text, {});
    EXPECT_FALSE(r.ok()) << row.name;
    EXPECT_EQ(r.status.line, row.line) << row.name;
    EXPECT_EQ(r.status.what, row.message) << row.name;
  }
}

// sdofresp's layout: the unit from the header (with its slash), or from --units; names
// without the unit.
TEST(TableRecord, UnitsAndNames) {
  const std::string samples = "0,1,2,3\n0.01,4,5,6\n";
  const read_result gal = read_any("Time(s),NS(gal),EW(gal),UD(gal)\n" + samples, {});
  ASSERT_TRUE(gal.ok()) << gal.status.what;
  EXPECT_EQ(gal.components[1].dt, 0.01);
  EXPECT_EQ(gal.components[1].channel, "EW");
  EXPECT_EQ(gal.components[1].acceleration, (std::vector<double>{2, 5}));
  EXPECT_EQ(gal.components[1].first_line, 2u);
  EXPECT_TRUE(gal.components[2].vertical);

  const read_result si = read_any("t(s) NS(m/s2) EW(m/s2) UD(m/s2)\n0 1 2 3\r\n0.01 4 5 6\r\n", {});
  ASSERT_TRUE(si.ok()) << si.status.what;
  EXPECT_EQ(si.components[0].acceleration[1], 400);
  EXPECT_EQ(si.components[0].channel, "NS");

  const read_result given =
      read_any("Time,NS,EW,UD\n" + samples, {.units = base::acceleration_unit::g});
  ASSERT_TRUE(given.ok());
  EXPECT_EQ(given.components[2].acceleration[0], 3 * base::standard_gravity);
  EXPECT_EQ(given.components[2].channel, "UD");
}

TEST(TableRecord, Failures) {
  const std::string head = "t,NS(gal),EW(gal),UD(gal)\n";
  const failure_row rows[] = {
      {"no unit", "Time,NS,EW,UD\n0,1,2,3\n0.01,4,5,6\n", 1,
       "the header names no unit: give --units g, gal or m/s2"},
      {"mixed units", "t,a(g),b(gal),c(g)\n0,1,2,3\n0.01,4,5,6\n", 1,
       "the components are in different units"},
      {"numbers for a header", "0,1,2,3\n0.01,4,5,6\n0.02,1,1,1\n", 1,
       "the first line holds numbers: it must name the columns, as in "
       "Time(s),NS(gal),EW(gal),UD(gal)"},
      // found by fuzzing: finite in g, beyond the doubles in cm/s2
      {"too large in gal", "t,a(g),b(g),c(g)\n0,1,2,3\n0.01,1,2,5.8E306\n", 3,
       "a value out of range in cm/s2"},
      {"garbled", head + "0,1,2,3\n0.01,1,x,3\n", 3, "not a number: 'x'"},
      {"a component missing", head + "0,1,2,3\n0.01,1,2\n", 3,
       "3 values where the header names 4 (the time and three components)"},
      {"one too many", head + "0,1,2,3\n0.01,1,2,3,4\n", 3,
       "5 values where the header names 4 (the time and three components)"},
      {"decimal commas", "t NS(gal) EW(gal) UD(gal)\n0,00 1,5 2,5 3,5\n", 2,
       "8 values where the header names 4 (the time and three components): decimal commas? "
       "write 0.01, not 0,01"},
      {"semicolons", head + "0;1;2;3\n", 2,
       "values separated by semicolons: separate them by commas or blanks"},
      {"one sample", head + "0,1,2,3\n", 2, "fewer than two samples"},
      {"time runs back", head + "0.01,1,2,3\n0,1,2,3\n", 3, "the first two times do not increase"},
  };
  for (const failure_row& row : rows) {
    const read_result r = read_any(row.text, {});
    EXPECT_FALSE(r.ok()) << row.name;
    EXPECT_EQ(r.status.line, row.line) << row.name;
    EXPECT_EQ(r.status.what, row.message) << row.name;
  }
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
  EXPECT_EQ(base::read_path_list("a.AT2\n\n# skipped\n  b.csv  \r\n"),
            (std::vector<std::string>{"a.AT2", "b.csv"}));
}

}  // namespace
}  // namespace records
