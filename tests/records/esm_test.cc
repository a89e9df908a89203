// ESM and ITACA files written from the DYNA layouts (55 and 64 keys).
#include "records/esm.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/time.h"
#include "records/registry.h"
#include "support/data.h"
#include "support/record_writers.h"

namespace records {
namespace {

using testing_support::esm_file;
using keys = std::map<std::string, std::string>;

keys acceleration(std::string units = "cm/s^2") {
  return {{"EVENT_NAME", "CENTRAL_ITALY"},
          {"EVENT_ID", "EMSC-20161030_0000029"},
          {"EVENT_TIME_HHMMSS", "06:40:18"},  // colons in a value
          {"NETWORK", "IT"},
          {"STATION_CODE", "ARL"},
          {"LOCATION", "00"},
          {"DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS", "20140120_071230.250"},
          {"SAMPLING_INTERVAL_S", "0.010000"},
          {"STREAM", "HNE"},
          {"UNITS", units},
          {"DATA_TYPE", "ACCELERATION"},
          {"HEADER_FORMAT", "DYNA 1.0"},
          {"ORIGINAL_DATA_MEDIATOR_CITATION", ": AFAD, Turkey"}};
}

keys with(keys k, const std::string& key, const std::string& value) {
  k[key] = value;
  return k;
}

// El Centro's EW component as ESM writes it (cm/s^2, one value a line): the values read are the
// table's, bit for bit, in both layouts, both date forms and both line ends.
TEST(Esm, ElCentroRoundTrip) {
  const std::vector<std::string> texts = testing_support::column_texts(
      testing_support::file_text(std::string(EXAMPLES_DIR) + "/elcentro1940-array9.csv"), 2);
  const keys header = with(acceleration(), "NDATA", std::to_string(texts.size()));
  const struct {
    bool esm;
    std::string date, line_end;
  } rows[] = {
      {false, "20140120_071230.250", "\n"},     // DYNA 1.0
      {true, "20/01/2014 07:12:30.250", "\n"},  // DYNA 1.2 and the older date layout
      {true, "20140120_071230.250", "\r\n"},    // CR LF
  };
  for (const auto& w : rows) {
    SCOPED_TRACE(w.date);
    const std::string file = esm_file(
        w.esm, with(header, "DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS", w.date), texts, w.line_end);
    ASSERT_TRUE(is_esm(file.substr(0, head_size)));
    const read_result r = read_any(file, {});
    ASSERT_TRUE(r.ok()) << r.status.line << ": " << r.status.what;
    EXPECT_TRUE(r.warnings.empty());
    ASSERT_EQ(r.components.size(), 1u);
    const component& c = r.components[0];
    ASSERT_EQ(c.acceleration.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
      ASSERT_EQ(c.acceleration[i], *base::parse_decimal(texts[i])) << i;
    }
    EXPECT_EQ(c.dt, 0.01);
    EXPECT_EQ(c.unit, "cm/s2");
    EXPECT_EQ(c.channel, "HNE");
    EXPECT_EQ(c.azimuth, 90.0);
    EXPECT_FALSE(c.vertical);
    EXPECT_EQ(c.network, "IT");
    EXPECT_EQ(c.station, "ARL");
    EXPECT_EQ(c.location, "00");
    EXPECT_EQ(c.event, "EMSC-20161030_0000029");
    EXPECT_EQ(c.first_line, w.esm ? 65u : 56u);
    ASSERT_TRUE(c.start.has_value());
    EXPECT_EQ(base::format_utc(*c.start), "2014-01-20T07:12:30.25Z");
  }
}

TEST(Esm, Units) {
  const struct {
    const char* units;
    std::vector<std::string> values;
    std::vector<double> gal;
    const char* unit;
  } rows[] = {
      {"cm/s^2", {"1.5", "-2"}, {1.5, -2}, "cm/s2"},
      {"m/s^2", {"1.5", "-2"}, {150, -200}, "m/s2"},
      {"g", {"0.5", "-2"}, {490.3325, -1961.33}, "g"},
  };
  for (const auto& w : rows) {
    const read_result r =
        read_esm(esm_file(true, with(acceleration(w.units), "NDATA", "2"), w.values), {});
    ASSERT_TRUE(r.ok()) << w.units << ": " << r.status.what;
    EXPECT_EQ(r.components[0].acceleration, w.gal) << w.units;
    EXPECT_EQ(r.components[0].unit, w.unit);
  }
}

TEST(Esm, Refusals) {
  const keys two = with(acceleration(), "NDATA", "2");
  const std::vector<std::string> values = {"1.5", "-2"};
  const struct {
    const char* name;
    std::string text;
    std::size_t line;
    const char* what;
  } rows[] = {
      {"velocity", esm_file(false, with(two, "DATA_TYPE", "VELOCITY"), values), 49,
       "DATA_TYPE is VELOCITY: only acceleration time series are records"},
      {"displacement", esm_file(false, with(two, "DATA_TYPE", "DISPLACEMENT"), values), 49,
       "DATA_TYPE is DISPLACEMENT: only acceleration time series are records"},
      {"spectrum",
       esm_file(false, with(two, "DATA_TYPE", "ACCELERATION RESPONSE SPECTRUM"),
                {"0.01 1.5", "0.02 2"}),
       49,
       "DATA_TYPE is ACCELERATION RESPONSE SPECTRUM: only acceleration time series are records"},
      {"velocity units", esm_file(false, with(two, "UNITS", "cm/s"), values), 32,
       "UNITS is 'cm/s': not a unit of acceleration"},
      {"no units", esm_file(false, with(two, "UNITS", ""), values), 32,
       "UNITS is empty: give --units g, gal or m/s2"},
      {"no interval", esm_file(false, with(two, "SAMPLING_INTERVAL_S", "0"), values), 28,
       "SAMPLING_INTERVAL_S is '0': not a positive number"},
      {"short", esm_file(false, two, {"1.5"}), 56, "NDATA is 2 but 1 values follow"},
      {"long", esm_file(false, two, {"1.5", "2", "3"}), 58, "NDATA is 2 but 3 values follow"},
      {"count beyond the file", esm_file(false, with(two, "NDATA", "5"), values), 29,
       "NDATA is 5 but the file has room for 4 values at most"},
      {"two on a line", esm_file(false, two, {"1.5 2", "3"}), 56, "more than one value on a line"},
      {"garbled", esm_file(false, two, {"1.5", "2,5"}), 57, "not a number: '2,5'"},
      {"no key", "EVENT_NAME: X\nNDATA 2\n1\n2\n", 2,
       "expected KEY: value or a number, not 'NDATA 2'"},
      {"no NDATA", esm_file(false, with(two, "NDATA", ""), values), 29, "NDATA is '': not a count"},
  };
  for (const auto& w : rows) {
    const read_result r = read_esm(w.text, {});
    ASSERT_FALSE(r.ok()) << w.name;
    EXPECT_EQ(r.status.line, w.line) << w.name;
    EXPECT_EQ(r.status.what, w.what) << w.name;
  }
}

TEST(Esm, StartTimeThatIsNotATimeIsAWarning) {
  const read_result r =
      read_esm(esm_file(false,
                        with(with(acceleration(), "NDATA", "2"),
                             "DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS", "2014-31-01 07:12:30"),
                        {"1", "2"}),
               {});
  ASSERT_TRUE(r.ok()) << r.status.what;
  EXPECT_FALSE(r.components[0].start.has_value());
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0].line, 26u);
}

}  // namespace
}  // namespace records
