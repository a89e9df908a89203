#include "records/dmg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/time.h"
#include "fixed_width_support.h"

namespace records {
namespace {

using testing_support::format_file;

// The bundled V2 read as its headers say: three channels of 12000 samples at .005 s (real 61)
// in cm/sec2, azimuths in integer 27 (360, 500 for up, 90), peaks in real 74, CR LF lines.
TEST(Dmg, BundledFile) {
  const read_result r = read_dmg(format_file("dmg/CE89146.V2"), {});
  ASSERT_TRUE(r.ok()) << r.status.line << ": " << r.status.what;
  const char* const start = "2012-02-13T21:06:45Z";
  const testing_support::header_says says[] = {
      {"360", 0, false, 12000, 0.005, "cm/s2", "89146", start, "77.280340", 47},
      {"Up", {}, true, 12000, 0.005, "cm/s2", "89146", start, "20.529180", 4596},
      // touching in the real header: "30.575000-44.200050"
      {"90", 90, false, 12000, 0.005, "cm/s2", "89146", start, "-44.200050", 9145},
  };
  ASSERT_EQ(r.components.size(), std::size(says));
  for (std::size_t k = 0; k < std::size(says); ++k) {
    testing_support::expect_as_header_says(r.components[k], says[k]);
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

// A V1 channel: 13 text lines, 16I5, 50 reals in 8F10, then data in g after "... Accelerogram
// points at 200 pts/sec in units of g .". CE89146.V1 opens as its V2 does from the V2's second
// line, with the same integers and the first 50 reals.
std::string volume_1(const std::string& data_line, const std::string& data) {
  const std::string v2 = format_file("dmg/CE89146.V2");
  std::vector<std::string> lines(1);
  for (char c : v2.substr(0, v2.find(" 12000 points of accel"))) {
    if (c == '\n')
      lines.emplace_back();
    else
      lines.back() += c;
  }
  std::string s;
  for (std::size_t k = 1; k < 38; ++k) {
    if (k < 14 || k >= 25) s += lines[k] + "\n";
  }
  return s + lines[38].substr(0, 20) + "\n" + data_line + "\n" + data + "/&  End of Data\n";
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
          {"the value for unknown in the data", "  -.000010  -.000009", "  -999.000  -.000009", 47,
           "sample 1 is missing (-999, the file's value for unknown): a record with a gap is "
           "not read"},
          {"a count larger than the file", " 12000 points of accel", "1200000 points of accel", 46,
           "the rest of the file is too short for the 1200000 acceleration values announced"},
          {"a unit it cannot convert", "in cm/sec2. (8f10.6)", "in ft/sec2. (8f10.6)", 46,
           "no unit of acceleration read here (g, g/10, cm/sec2, gal) on this line"},
          {"spectra", "Corrected accelerogram ", "Response and Fourier amplitude spectra", 1,
           "response and Fourier spectra (V3), not a record"},
          {"an integer that is not one", "   21    6   45", "   21    6   4x", 27,
           "not a number: '4x'"},
          {"a line where data belong", " 12000 points of veloc", " 12000 pointz of veloc", 1547,
           "expected a line such as ' 12000 points of accel data equally spaced at  .005 sec, "
           "in cm/sec2. (8f10.6)' or the channel's end, '/&'"},
      });
  const read_result cut = read_dmg(v2.substr(0, v2.find("Corrected accelerogram", 10) + 40), {});
  EXPECT_EQ(cut.status.line, 4550u);
  EXPECT_EQ(cut.status.what, "the file ends in a text header");
}

}  // namespace
}  // namespace records
