// SAC binary (both byte orders) and alphanumeric: ObsPy's files, and files written from the
// layout.
#include "records/sac.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/time.h"
#include "records/registry.h"
#include "support/data.h"
#include "support/record_writers.h"

namespace records {
namespace {

using testing_support::sac_alphanumeric;
using testing_support::sac_binary;
using testing_support::sac_layout;

std::string sac_data(const std::string& name) {
  return testing_support::file_text(std::string(TEST_DATA_DIR) + "/formats/sac/" + name);
}

const read_options in_gal{.units = base::acceleration_unit::gal};

// ObsPy's sine, as its header says: 100 points a second apart, B 10 s after 1978-07-18 08:00.
// The two byte orders hold the same floats; the text holds them to 7 significant digits.
TEST(Sac, BundledFilesReadAsTheirHeaderSays) {
  const read_result little = read_sac(sac_data("test.sac"), in_gal);
  for (const char* name : {"test.sac", "test.sac.swap", "testxy.sac"}) {
    SCOPED_TRACE(name);
    const std::string bytes = sac_data(name);
    const read_result r = read_any(bytes, in_gal);
    ASSERT_TRUE(r.ok()) << r.status.what;
    ASSERT_EQ(r.components.size(), 1u);
    const component& c = r.components[0];
    EXPECT_EQ(c.acceleration.size(), 100u);
    EXPECT_EQ(c.dt, 1.0);
    EXPECT_EQ(c.channel, "Q");
    EXPECT_EQ(c.unit, "cm/s2");
    EXPECT_EQ(c.event, "FUNCGEN: SINE");
    if (std::string(name) == "testxy.sac") {
      EXPECT_EQ(c.station, "sta");        // as ObsPy wrote it
      EXPECT_FALSE(c.start.has_value());  // its reference time is undefined
      EXPECT_EQ(c.first_line, 31u);
    } else {
      EXPECT_EQ(c.station, "STA");
      ASSERT_TRUE(c.start.has_value());
      EXPECT_EQ(base::format_utc(*c.start), "1978-07-18T08:00:10Z");
      EXPECT_EQ(c.first_byte, 632u);
    }
    ASSERT_TRUE(little.ok());
    for (std::size_t i = 0; i < 100; ++i) {
      const double b = little.components[0].acceleration[i], v = c.acceleration[i];
      if (std::string(name) == "testxy.sac")
        EXPECT_LE(std::abs(b - v), 5e-7 * std::abs(b) + 1e-13) << i;
      else
        EXPECT_EQ(b, v) << i;
    }
  }
}

std::vector<std::string> elcentro_ns() {
  return testing_support::column_texts(
      testing_support::file_text(std::string(EXAMPLES_DIR) + "/elcentro1940-array9.csv"), 1);
}

// El Centro written as SAC: float32 samples come back as the floats written, the text as the
// table's digits.
TEST(Sac, ElCentroRoundTrip) {
  std::vector<double> gal;
  std::vector<float> floats;
  for (const std::string& t : elcentro_ns()) {
    gal.push_back(*base::parse_decimal(t));
    floats.push_back(static_cast<float>(gal.back()));
  }
  const std::vector<double> widened(floats.begin(), floats.end());
  const sac_layout layout{.cmpaz = 0, .cmpinc = 90, .kcmpnm = "HNN"};
  sac_layout version7 = layout;
  version7.nvhdr = 7;
  const struct {
    const char* name;
    std::string bytes;
    read_result (*read)(std::string_view, const read_options&);
    const std::vector<double>& expected;
    double dt;  // DELTA as a float, or as G15.7 writes it
  } rows[] = {
      {"little-endian", sac_binary(layout, floats, false), read_sac, widened, 0.01f},
      {"big-endian", sac_binary(layout, floats, true), read_sac, widened, 0.01f},
      // version 7 keeps 22 doubles after the samples
      {"version 7", sac_binary(version7, floats, true) + std::string(176, '\0'), read_sac, widened,
       0.01f},
      {"alphanumeric", sac_alphanumeric(layout, gal), read_sac_alphanumeric, gal, 0.01},
  };
  for (const auto& w : rows) {
    SCOPED_TRACE(w.name);
    const read_result r = w.read(w.bytes, in_gal);
    ASSERT_TRUE(r.ok()) << r.status.what;
    EXPECT_TRUE(r.warnings.empty());
    const component& c = r.components[0];
    EXPECT_EQ(c.acceleration, w.expected);
    EXPECT_EQ(c.dt, w.dt);
    EXPECT_EQ(c.azimuth, 0.0);
    EXPECT_EQ(c.network, "XX");
    EXPECT_EQ(c.location, "00");
    ASSERT_TRUE(c.start.has_value());
    // 2004 day 60 is 29 February.
    EXPECT_EQ(base::format_utc(*c.start), "2004-02-29T11:22:33.444Z");
  }
}

// Where the unit comes from: IDEP when it names acceleration (nm/s2), else the options; whole
// numbers are counts and need a gain.
TEST(Sac, Units) {
  const struct {
    const char* name;
    int idep;
    read_options options;
    std::vector<float> samples;
    std::vector<double> gal;
    const char* unit;
  } accepted[] = {
      {"unknown, in gal", 5, in_gal, {0.5f, -1.25f}, {0.5, -1.25}, "cm/s2"},
      {"unknown, in g",
       5,
       {.units = base::acceleration_unit::g},
       {0.5f, -2},
       {490.3325, -1961.33},
       "g"},
      {"counts",
       5,
       {.units = base::acceleration_unit::m_per_s2, .counts_per_unit = 1000},
       {1000, -2000},
       {100, -200},
       "counts"},
      {"IACC", 8, {}, {1e7f, -2.5e7f}, {1, -2.5}, "nm/s2"},
      {"IACC, the user's unit first", 8, in_gal, {0.5f, 2}, {0.5, 2}, "cm/s2"},
      {"all zero is no count", 5, in_gal, {0, 0}, {0, 0}, "cm/s2"},
  };
  for (const auto& w : accepted) {
    const read_result r = read_sac(sac_binary({.idep = w.idep}, w.samples, false), w.options);
    ASSERT_TRUE(r.ok()) << w.name << ": " << r.status.what;
    EXPECT_EQ(r.components[0].acceleration, w.gal) << w.name;
    EXPECT_EQ(r.components[0].unit, w.unit) << w.name;
  }
  const struct {
    const char* name;
    int idep;
    read_options options;
    std::vector<float> samples;
    std::size_t byte;
    const char* what;
  } refused_rows[] = {
      {"no unit",
       5,
       {},
       {0.5f, 1},
       344,
       "IDEP names no unit of acceleration: give --units g, gal or m/s2 (and --counts-per-unit "
       "for counts)"},
      {"counts without a gain",
       5,
       in_gal,
       {3, -4},
       632,
       "the samples are whole numbers, counts by the look of them: give --counts-per-unit"},
      {"velocity", 7, in_gal, {0.5f, 1}, 344, "IDEP says velocity: only acceleration is a record"},
      {"displacement",
       6,
       in_gal,
       {0.5f, 1},
       344,
       "IDEP says displacement: only acceleration is a record"},
  };
  for (const auto& w : refused_rows) {
    const read_result r = read_sac(sac_binary({.idep = w.idep}, w.samples, false), w.options);
    ASSERT_FALSE(r.ok()) << w.name;
    EXPECT_TRUE(r.status.at_byte) << w.name;
    EXPECT_EQ(r.status.byte, w.byte) << w.name;
    EXPECT_EQ(r.status.what, w.what) << w.name;
  }
}

TEST(Sac, Orientation) {
  const struct {
    float cmpaz, cmpinc;
    const char* kcmpnm;
    std::optional<double> azimuth;
    bool vertical;
  } rows[] = {
      {-12345, 0, "X", std::nullopt, true},    // CMPINC 0: up
      {-12345, 180, "X", std::nullopt, true},  // 180: down
      {450, 90, "X", 90.0, false},             // horizontal, CMPAZ taken modulo 360
      {-12345, -12345, "HNE", 90.0, false},    // no CMPINC: the SEED channel code
      {-12345, -12345, "BHZ", std::nullopt, true},
      {-12345, -12345, "Q", std::nullopt, false},
      {30, 45, "HNZ", std::nullopt, false},  // inclined: neither, whatever the name
  };
  for (const auto& w : rows) {
    const read_result r = read_sac(
        sac_binary({.cmpaz = w.cmpaz, .cmpinc = w.cmpinc, .kcmpnm = w.kcmpnm}, {0.5f, 1}, true),
        in_gal);
    ASSERT_TRUE(r.ok()) << r.status.what;
    EXPECT_EQ(r.components[0].azimuth, w.azimuth) << w.kcmpnm << " " << w.cmpinc;
    EXPECT_EQ(r.components[0].vertical, w.vertical) << w.kcmpnm << " " << w.cmpinc;
  }
}

TEST(Sac, BinaryRefusals) {
  const std::vector<float> two = {0.5f, 1};
  const std::string good = sac_binary({}, two, false);
  std::string nan_sample = sac_binary({}, {0.5f, std::numeric_limits<float>::quiet_NaN()}, false);
  std::string bad_version = good;
  bad_version[304] = 99;
  const struct {
    const char* name;
    std::string bytes;
    std::size_t byte;
    const char* what;
  } rows[] = {
      {"header cut", good.substr(0, 600), 600, "the file ends in the 632-byte header: 600 bytes"},
      {"samples cut", good.substr(0, 636), 316, "NPTS is 2 but the file has room for 1 samples"},
      {"no version", bad_version, 304,
       "NVHDR is not a header version (1 to 19) in either byte order"},
      {"old version", sac_binary({.nvhdr = 5}, two, false), 304,
       "NVHDR is 5: header versions 6 and 7 are read"},
      {"spectrum", sac_binary({.iftype = 2}, two, false), 340,
       "IFTYPE is 2: not a time series (spectra and x-y data are not records)"},
      {"uneven", sac_binary({.leven = 0}, two, false), 420,
       "LEVEN is not true: unevenly spaced samples are not read"},
      {"no interval", sac_binary({.delta = 0}, two, false), 0,
       "DELTA is 0: not a positive interval"},
      {"not finite", nan_sample, 636, "sample 2 is not finite"},
      {"one sample", sac_binary({}, {0.5f}, false), 632, "fewer than two samples"},
  };
  for (const auto& w : rows) {
    const read_result r = read_sac(w.bytes, in_gal);
    ASSERT_FALSE(r.ok()) << w.name;
    EXPECT_TRUE(r.status.at_byte) << w.name;
    EXPECT_EQ(r.status.byte, w.byte) << w.name;
    EXPECT_EQ(r.status.what, w.what) << w.name;
  }
  const read_result bounded =
      read_sac(good, {.units = base::acceleration_unit::gal, .most_samples = 1});
  EXPECT_EQ(bounded.status.code, base::code::limit);
  const read_result extra = read_sac(good + "tail", in_gal);
  ASSERT_TRUE(extra.ok());
  ASSERT_EQ(extra.warnings.size(), 1u);
  EXPECT_EQ(extra.warnings[0].what, "4 bytes after the last sample are not read");
}

TEST(Sac, AlphanumericRefusals) {
  const std::string good = sac_alphanumeric({}, {0.5, 1.5, 2.5});
  std::string garbled = good;
  garbled.replace(garbled.rfind("2.5"), 3, "2x5");
  const struct {
    const char* name;
    std::string text;
    std::size_t line;
    const char* what;
    read_options options = in_gal;
  } rows[] = {
      {"header cut", good.substr(0, good.find("HNE")), 29,
       "the file ends in its header: SAC alphanumeric files have 30 header lines"},
      {"short", good.substr(0, good.rfind("2.5")), 31, "NPTS is 3 but 2 values follow"},
      {"long", good + "4\n", 32, "NPTS is 3 but more values follow"},
      {"garbled", garbled, 31, "not a number: '2x5'"},
      // found in review: finite as text in g, beyond the doubles in cm/s2
      {"too large in gal",
       sac_alphanumeric({}, {0.5, 1e306, 1}),
       31,
       "sample 2 is out of range in cm/s2",
       {.units = base::acceleration_unit::g}},
  };
  for (const auto& w : rows) {
    const read_result r = read_sac_alphanumeric(w.text, w.options);
    ASSERT_FALSE(r.ok()) << w.name;
    EXPECT_EQ(r.status.line, w.line) << w.name;
    EXPECT_EQ(r.status.what, w.what) << w.name;
  }
}

}  // namespace
}  // namespace records
