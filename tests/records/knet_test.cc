// K-NET and KiK-net files written from NIED's layout: counts, scale factor, mean, times.
#include "records/knet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/time.h"
#include "records/registry.h"
#include "support/data.h"
#include "support/record_writers.h"

namespace records {
namespace {

using testing_support::knet_file;
using testing_support::knet_layout;

std::vector<std::string> elcentro(std::size_t column) {
  return testing_support::column_texts(
      testing_support::file_text(std::string(EXAMPLES_DIR) + "/elcentro1940-array9.csv"), column);
}

// El Centro's NS component in counts of 1/10000 gal, then the same negated, around a DC offset
// as NIED's records have: the counts' mean is exactly the offset, so what is read back is each
// count over 10000, which is the gal value of the table's text, bit for bit.
struct mirrored {
  std::vector<double> gal;  // the table's values
  std::vector<long long> counts;
  double peak = 0;
};

mirrored mirrored_elcentro(long long offset) {
  mirrored m;
  for (const std::string& t : elcentro(1)) m.gal.push_back(*base::parse_decimal(t));
  for (int sign : {1, -1}) {
    for (double g : m.gal) m.counts.push_back(offset + sign * std::llround(g * 10000));
  }
  for (double g : m.gal) m.peak = std::max(m.peak, std::abs(g));
  return m;
}

TEST(Knet, ElCentroRoundTrip) {
  const mirrored m = mirrored_elcentro(12567);
  char peak[32];
  std::snprintf(peak, sizeof peak, "%.3f", m.peak);
  for (const char* line_end : {"\n", "\r\n"}) {
    SCOPED_TRACE(line_end[0] == '\r' ? "CR LF" : "LF");
    knet_layout k{.scale = "1(gal)/10000", .max_acc = peak, .line_end = line_end};
    const std::string file = knet_file(k, m.counts);
    ASSERT_TRUE(is_knet(file.substr(0, head_size)));
    const read_result r = read_any(file, {});
    ASSERT_TRUE(r.ok()) << r.status.what;
    EXPECT_TRUE(r.warnings.empty()) << r.warnings[0].what;
    ASSERT_EQ(r.components.size(), 1u);
    const component& c = r.components[0];
    ASSERT_EQ(c.acceleration.size(), 2 * m.gal.size());
    for (std::size_t i = 0; i < m.gal.size(); ++i) {
      ASSERT_EQ(c.acceleration[i], m.gal[i]) << i;
      ASSERT_EQ(c.acceleration[m.gal.size() + i], -m.gal[i]) << i;
    }
    EXPECT_EQ(c.dt, 0.01);
    EXPECT_EQ(c.unit, "counts");
    EXPECT_EQ(c.channel, "N-S");
    EXPECT_EQ(c.azimuth, 0.0);
    EXPECT_EQ(c.station, "CHB003");
    EXPECT_EQ(c.first_line, 18u);
    // Japan's time, and the Record Time 15 s after the first sample.
    ASSERT_TRUE(c.start.has_value());
    EXPECT_EQ(base::format_utc(*c.start), "2014-12-31T14:49:56Z");
    EXPECT_EQ(c.event, "2014-12-31T14:49:00Z");
  }
}

// NIED's own scale: counts 0 and 8223790 around their mean 4111895 are -7845/2 and 7845/2 gal.
TEST(Knet, ScaleFactorAndMean) {
  const read_result r = read_knet(knet_file({.max_acc = "3922.500"}, {0, 8223790}), {});
  ASSERT_TRUE(r.ok()) << r.status.what;
  EXPECT_EQ(r.components[0].acceleration, (std::vector<double>{-3922.5, 3922.5}));
  EXPECT_TRUE(r.warnings.empty());
}

TEST(Knet, Directions) {
  struct row {
    const char* dir;
    const char* channel;
    const char* location;
    std::optional<double> azimuth;
    bool vertical;
  };
  const row rows[] = {
      {"N-S", "N-S", "", 0.0, false},
      {"E-W", "E-W", "", 90.0, false},
      {"U-D", "U-D", "", std::nullopt, true},  // K-NET
      {"1", "NS1", "borehole", 0.0, false},
      {"2", "EW1", "borehole", 90.0, false},
      {"3", "UD1", "borehole", std::nullopt, true},  // KiK-net 1 to 3: the borehole sensor
      {"4", "NS2", "surface", 0.0, false},
      {"5", "EW2", "surface", 90.0, false},
      {"6", "UD2", "surface", std::nullopt, true},  // 4 to 6: the surface sensor
  };
  for (const row& w : rows) {
    const read_result r = read_knet(knet_file({.direction = w.dir, .max_acc = ""}, {1, 2, 3}), {});
    ASSERT_TRUE(r.ok()) << w.dir << ": " << r.status.what;
    const component& c = r.components[0];
    EXPECT_EQ(c.channel, w.channel) << w.dir;
    EXPECT_EQ(c.location, w.location) << w.dir;
    EXPECT_EQ(c.azimuth, w.azimuth) << w.dir;
    EXPECT_EQ(c.vertical, w.vertical) << w.dir;
  }
}

// Max. Acc. is the peak after the mean is removed, to its printed decimals.
TEST(Knet, MaxAccCheck) {
  const mirrored m = mirrored_elcentro(0);
  const double peak = m.peak;
  char text[32];
  const auto printed = [&](int decimals, double v) {
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return std::string(text);
  };
  const struct {
    std::string max_acc;
    bool warned;
  } rows[] = {
      {printed(3, peak), false},          // as NIED prints it
      {printed(1, peak), false},          // fewer decimals, a wider tolerance
      {printed(3, peak + 0.0015), true},  // more than one unit of the last decimal away
      {printed(3, peak - 0.0015), true},
      {printed(0, peak + 1.6), true},
      {"", false},  // none to check
  };
  for (const auto& w : rows) {
    const read_result r =
        read_knet(knet_file({.scale = "1(gal)/10000", .max_acc = w.max_acc}, m.counts), {});
    ASSERT_TRUE(r.ok()) << r.status.what;
    ASSERT_EQ(r.warnings.size(), w.warned ? 1u : 0u) << w.max_acc;
    if (w.warned) {
      EXPECT_EQ(r.warnings[0].line, 15u);
      EXPECT_NE(r.warnings[0].what.find("Max. Acc. is " + w.max_acc + " gal"), std::string::npos)
          << r.warnings[0].what;
    }
  }
}

TEST(Knet, Refusals) {
  const std::vector<long long> counts = {1, 2, 3};
  const std::string good = knet_file({}, counts);
  const struct {
    const char* name;
    std::string text;
    std::size_t line;
    const char* what;
    read_options options = {};
  } rows[] = {
      {"header cut", good.substr(0, good.find("Dir.")), 13,
       "the file ends in its header: K-NET and KiK-net files have 17 header lines"},
      {"record time", knet_file({.record_time = "2014/13/31 23:50:11"}, counts), 10,
       "Record Time is '2014/13/31 23:50:11': expected yyyy/mm/dd hh:mm:ss"},
      {"frequency", knet_file({.frequency = "0Hz"}, counts), 11,
       "Sampling Freq is '0Hz': expected a rate such as 100Hz"},
      {"direction", knet_file({.direction = "7"}, counts), 13,
       "Dir. is '7': expected N-S, E-W, U-D or 1 to 6"},
      {"scale", knet_file({.scale = "7845/8223790"}, counts), 14,
       "Scale Factor is '7845/8223790': expected N(gal)/D"},
      {"decimal count", good + "12.5\n", 19, "not a count: '12.5'"},
      {"ten digits", good + "1234567890\n", 19, "not a count: '1234567890'"},
      {"one sample", knet_file({}, {5}), 18, "fewer than two samples"},
      // found in review: a scale whose values leave the doubles
      {"scale beyond", knet_file({.scale = "1e300(gal)/1e-300"}, counts), 14,
       "Scale Factor is '1e300(gal)/1e-300': the values leave the doubles"},
      {"too many", good, 18, "more than the 2 samples a component may have", {.most_samples = 2}},
  };
  for (const auto& w : rows) {
    const read_result r = read_knet(w.text, w.options);
    ASSERT_FALSE(r.ok()) << w.name;
    EXPECT_EQ(r.status.line, w.line) << w.name;
    EXPECT_EQ(r.status.what, w.what) << w.name;
  }
}

}  // namespace
}  // namespace records
