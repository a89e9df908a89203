#include "records/dmg.h"

#include <gtest/gtest.h>

#include <string>

#include "base/time.h"
#include "fixed_width_support.h"

namespace records {
namespace {

using testing_support::format_file;

struct channel_row {
  const char* channel;
  std::optional<double> azimuth;
  bool vertical;
  std::size_t first_line;
  const char* peak;  // real header 74, as printed
};

// The bundled V2 read as its headers say: three channels of 12000 samples at .005 s in cm/sec2,
// azimuths in integer 27 (360, 500 for up, 90), CR LF lines.
TEST(Dmg, BundledFile) {
  const read_result r = read_dmg(format_file("dmg/CE89146.V2"), {});
  ASSERT_TRUE(r.ok()) << r.status.line << ": " << r.status.what;
  const channel_row rows[] = {
      {"360", 0, false, 47, "77.280340"},
      {"Up", {}, true, 4596, "20.529180"},
      {"90", 90, false, 9145, "-44.200050"},  // touching: "30.575000-44.200050"
  };
  ASSERT_EQ(r.components.size(), std::size(rows));
  for (std::size_t k = 0; k < std::size(rows); ++k) {
    SCOPED_TRACE(rows[k].channel);
    const component& c = r.components[k];
    EXPECT_EQ(c.acceleration.size(), 12000u);
    EXPECT_EQ(c.dt, 0.005);
    EXPECT_EQ(c.unit, "cm/s2");
    EXPECT_EQ(c.channel, rows[k].channel);
    EXPECT_EQ(c.azimuth, rows[k].azimuth);
    EXPECT_EQ(c.vertical, rows[k].vertical);
    EXPECT_EQ(c.first_line, rows[k].first_line);
    EXPECT_EQ(c.station, "89146");
    ASSERT_TRUE(c.start);
    EXPECT_EQ(base::format_utc(*c.start), "2012-02-13T21:06:45Z");
    testing_support::expect_to_printed_digits(testing_support::peak(c), rows[k].peak);
  }
  EXPECT_TRUE(r.warnings.empty());
}

// The start time's zone: UTC as it is, Pacific time turned into UTC, others not kept.
TEST(Dmg, StartTimeZones) {
  const std::string v2 = format_file("dmg/CE89146.V2");
  const struct {
    const char* time;
    const char* start;  // empty: none, and a warning
  } rows[] = {
      {" 2/13/12, 21:06:45.0 UTC", "2012-02-13T21:06:45Z"},
      {" 2/13/12, 21:06:45.0 GMT", "2012-02-13T21:06:45Z"},
      {" 2/13/12, 13:06:45.0 PST", "2012-02-13T21:06:45Z"},
      {" 6/13/12, 14:06:45.5 PDT", "2012-06-13T21:06:45.5Z"},
      {"12/31/89, 23:59:59.0 PST", "1990-01-01T07:59:59Z"},  // two-digit years before 2030
      {" 2/13/12, 21:06:45.0 EST", ""},
  };
  for (const auto& row : rows) {
    std::string text = v2;
    text.replace(text.find(" 2/13/12, 21:06:45.0 UTC"), 24, row.time);
    const read_result r = read_dmg(text, {});
    ASSERT_TRUE(r.ok()) << row.time;
    const component& c = r.components[0];
    EXPECT_EQ(c.start ? base::format_utc(*c.start) : "", row.start) << row.time;
    EXPECT_EQ(r.warnings.size(), *row.start ? 0u : 1u) << row.time;
  }
}

// A V1 channel written from the layout (13 text lines, 16I5, 50 reals in 8F10, then data in g
// after "... Accelerogram points at 200 pts/sec in units of g ."), as CE89146.V1 opens.
std::string volume_1(const std::string& data_line, const std::string& data) {
  std::string s =
      "Uncorrected Accelerogram Data             Processed: 02/13/12, CGS  146be002    \n"
      "Record of Mon Feb 13, 2012 13:06:45.0 PST             (Avol1 v9.2,12/11 CSMIP)  \n"
      "CSMIP Preliminary Processing            (Origin:  To be determined)             \n"
      "89146-L2500-12044.02                 Start time:  2/13/12, 21:06:45.0 UTC (GPS) \n"
      "Station No. 89146   40.941N, 123.633W      Etna  s/n 2500  (3 Chns of  3 at Sta)\n"
      "Willow Creek                              CGS                                   \n"
      "Chan  1: 360 Deg                                                                \n";
  for (int k = 8; k <= 13; ++k) s += "\n";
  s += "    1  100    1    3    3  200    1    3    1   24   12 2500    089146    1    0\n"
       "   21    6   45    0   44    2   13 2012   10    3  36013200   41   12   76  360\n";
  for (int k = 3; k <= 6; ++k)
    s += "    0    0    0    0    0    0    0    0    0    0    0    0    0    0    0    0\n";
  s += "    0    0    0    0\n";
  for (int k = 1; k <= 6; ++k)
    s += "  .0108814  .6700000 66.000000  .0037019      .000 629.00000  .0791795 30.590000\n";
  s += " 7.9000000 9.2000000\n";
  return s + data_line + "\n" + data + "/&  ----------  End of Data for Channel  1  ----------\n";
}

TEST(Dmg, Volume1) {
  const std::string data = "  .079179 -.000010  .000000-1.000000 -.079180\n";
  const read_result r = read_dmg(
      volume_1("    5 Accelerogram points at 200 pts/sec in units of g .      Format: (8f9.6)",
               data),
      {});
  ASSERT_TRUE(r.ok()) << r.status.line << ": " << r.status.what;
  ASSERT_EQ(r.components.size(), 1u);
  const component& c = r.components[0];
  const double g = base::standard_gravity;
  EXPECT_EQ(c.acceleration, (std::vector<double>{.079179 * g, -.00001 * g, 0, -g, -.07918 * g}));
  EXPECT_EQ(c.unit, "g");
  EXPECT_EQ(c.dt, 1.0 / 200);
  EXPECT_EQ(c.channel, "360");
  EXPECT_EQ(c.azimuth, 0.0);
  EXPECT_EQ(c.first_line, 29u);
  ASSERT_TRUE(c.start);
  EXPECT_EQ(base::format_utc(*c.start), "2012-02-13T21:06:45Z");

  // Old analog V1 files hold times and values, unevenly spaced, without a data line.
  const read_result analog = read_dmg(volume_1("   .000 .0010  .010 .0020", data), {});
  EXPECT_EQ(analog.status.line, 28u);
  EXPECT_EQ(analog.status.what, "times and values of an analog record, unevenly spaced: not read");
}

// What the reader refuses, on edits of the V2 file (channel 1's data line is line 46).
TEST(Dmg, Refusals) {
  const std::string v2 = format_file("dmg/CE89146.V2");
  testing_support::expect_refusals(
      read_dmg, v2,
      {
          {"the value for unknown in the data",
           {{"  -.000010  -.000009", "  -999.000  -.000009"}},
           47,
           "sample 1 is missing (-999, the file's value for unknown): a record with a gap is "
           "not read"},
          {"a count larger than the file",
           {{" 12000 points of accel", "1200000 points of accel"}},
           46,
           "the rest of the file is too short for the 1200000 acceleration values announced"},
          {"a unit it cannot convert",
           {{"in cm/sec2. (8f10.6)", "in ft/sec2. (8f10.6)"}},
           46,
           "no unit of acceleration read here (g, g/10, cm/sec2, gal) on this line"},
          {"spectra",
           {{"Corrected accelerogram ", "Response and Fourier amplitude spectra"}},
           1,
           "response and Fourier spectra (V3), not a record"},
          {"an integer that is not one",
           {{"   21    6   45", "   21    6   4x"}},
           27,
           "not a number: '4x'"},
          {"a line where data belong",
           {{" 12000 points of veloc", " 12000 pointz of veloc"}},
           1547,
           "expected a line such as ' 12000 points of accel data equally spaced at  .005 sec, "
           "in cm/sec2. (8f10.6)' or the channel's end, '/&'"},
      });
  const read_result cut = read_dmg(v2.substr(0, v2.find("Corrected accelerogram", 10) + 40), {});
  EXPECT_EQ(cut.status.line, 4550u);
  EXPECT_EQ(cut.status.what, "the file ends in a text header");
}

}  // namespace
}  // namespace records
