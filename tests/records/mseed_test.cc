// miniSEED 2 through libmseed: libmseed's reference records, and records edited to make gaps,
// overlaps, a second channel and lies about their length.
#include "records/mseed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/time.h"
#include "records/registry.h"
#include "support/data.h"

namespace records {
namespace {

std::string mseed_data(const std::string& name) {
  return testing_support::file_text(std::string(TEST_DATA_DIR) + "/formats/mseed/" + name);
}
const std::string float32 = "reference-testdata-float32.mseed2";
const std::string steim2 = "reference-testdata-steim2.mseed2";
constexpr std::size_t record = 512;  // both files' record length

const read_options in_gal{.units = base::acceleration_unit::gal};
const read_options counts_in_gal{.units = base::acceleration_unit::gal, .counts_per_unit = 1};

TEST(Mseed, BundledFilesReadAsTheirHeadersSay) {
  const struct {
    const std::string& name;
    read_options options;
    std::size_t samples, first_byte;
    const char* unit;
  } rows[] = {
      {float32, in_gal, 500, 56, "cm/s2"},
      {steim2, counts_in_gal, 499, 64, "counts"},
  };
  for (const auto& w : rows) {
    SCOPED_TRACE(w.name);
    const std::string bytes = mseed_data(w.name);
    const read_result r = read_any(bytes, w.options);
    ASSERT_TRUE(r.ok()) << r.status.byte << ": " << r.status.what;
    ASSERT_EQ(r.components.size(), 1u);
    const component& c = r.components[0];
    EXPECT_EQ(c.acceleration.size(), w.samples);
    EXPECT_EQ(c.dt, 0.025);
    EXPECT_EQ(c.unit, w.unit);
    EXPECT_EQ(c.network, "XX");
    EXPECT_EQ(c.station, "TEST");
    EXPECT_EQ(c.location, "");
    EXPECT_EQ(c.channel, "BHZ");
    EXPECT_TRUE(c.vertical);
    EXPECT_EQ(c.first_byte, w.first_byte);
    ASSERT_TRUE(c.start.has_value());
    EXPECT_EQ(base::format_utc(*c.start), "2012-05-12T00:00:00Z");
  }
}

// The Steim-2 file holds the float file's signal cut to whole counts.
TEST(Mseed, CountsAreTheFloatsCutToWholes) {
  const read_result floats = read_mseed(mseed_data(float32), in_gal);
  const read_result counts = read_mseed(mseed_data(steim2), counts_in_gal);
  ASSERT_TRUE(floats.ok() && counts.ok());
  const std::vector<double>& f = floats.components[0].acceleration;
  const std::vector<double>& n = counts.components[0].acceleration;
  for (std::size_t i = 0; i < n.size(); ++i) {
    ASSERT_EQ(n[i], std::trunc(n[i])) << i;
    // float32 keeps 24 bits: above 2^24 its own rounding dominates
    ASSERT_LE(std::abs(n[i] - f[i]), std::max(1.0, std::abs(f[i]) * 0x1p-23)) << i;
  }
  const read_result scaled = read_mseed(
      mseed_data(steim2), {.units = base::acceleration_unit::m_per_s2, .counts_per_unit = 4});
  ASSERT_TRUE(scaled.ok());
  for (std::size_t i = 0; i < n.size(); ++i) {
    ASSERT_EQ(scaled.components[0].acceleration[i], n[i] / 4 * 100) << i;
  }
}

// Records of a second channel: the same bytes with another channel code.
TEST(Mseed, ChannelsAreComponents) {
  std::string north = mseed_data(float32);
  for (std::size_t at = 0; at < north.size(); at += record) north.replace(at + 15, 3, "BHN");
  const read_result r = read_mseed(mseed_data(float32) + north, in_gal);
  ASSERT_TRUE(r.ok()) << r.status.what;
  ASSERT_EQ(r.components.size(), 2u);
  EXPECT_EQ(r.components[0].channel, "BHZ");
  EXPECT_EQ(r.components[1].channel, "BHN");
  EXPECT_EQ(r.components[1].azimuth, 0.0);
  EXPECT_EQ(r.components[1].first_byte, 5 * record + 56);
  EXPECT_EQ(r.components[0].acceleration, r.components[1].acceleration);
}

TEST(Mseed, Refusals) {
  const std::string whole = mseed_data(float32);
  const std::string without_second = whole.substr(0, record) + whole.substr(2 * record);
  const std::string second_twice = whole.substr(0, 2 * record) + whole.substr(record);
  std::string too_many = whole;
  too_many[31] = 115;  // the first record's count of samples (big-endian), one beyond its room
  const struct {
    const char* name;
    std::string bytes;
    read_options options;
    std::size_t byte;
    const char* what;
  } rows[] = {
      {"gap", without_second, in_gal, record,
       "XX.TEST..BHZ has a gap from 2012-05-12T00:00:02.85Z to 2012-05-12T00:00:05.7Z: one "
       "continuous trace per channel is read"},
      {"overlap", second_twice, in_gal, 2 * record,
       "XX.TEST..BHZ overlaps itself from 2012-05-12T00:00:02.85Z to 2012-05-12T00:00:05.7Z: one "
       "continuous trace per channel is read"},
      {"cut", whole.substr(0, 1000), in_gal, record,
       "the file ends in a record: 24 more bytes were due"},
      {"count beyond the record", too_many, in_gal, 0,
       "the record says 115 samples but has room for 114"},
      {"not a record after", whole + std::string(100, 'x'), in_gal, 5 * record,
       "not a miniSEED record"},
      {"no unit",
       whole,
       {},
       56,
       "XX.TEST..BHZ: the samples are of unknown unit: give --units g, gal or m/s2"},
      {"counts without a gain", mseed_data(steim2), in_gal, 64,
       "XX.TEST..BHZ: the samples are counts: give --counts-per-unit (counts per cm/s2)"},
      {"too many samples",
       whole,
       {.units = base::acceleration_unit::gal, .most_samples = 300},
       2 * record,
       "XX.TEST..BHZ has more than the 300 samples a component may have"},
  };
  for (const auto& w : rows) {
    const read_result r = read_mseed(w.bytes, w.options);
    ASSERT_FALSE(r.ok()) << w.name;
    EXPECT_TRUE(r.status.at_byte) << w.name;
    EXPECT_EQ(r.status.byte, w.byte) << w.name;
    EXPECT_EQ(r.status.what, w.what) << w.name;
  }
}

}  // namespace
}  // namespace records
