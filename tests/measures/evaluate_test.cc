// Every measure of a component or a pair at once: the rows of sdofspec's intensity table.
#include "measures/evaluate.h"

#include <gtest/gtest.h>

#include <cmath>

#include "spectra/grids.h"
#include "support/data.h"
#include "tables/columns.h"

namespace measures {
namespace {

// The kept table of `sdofspec --periods gmm --rotd --ims` on the El Centro pair, and the pair.
struct golden {
  tables::table_read table;
  testing_support::motion first, second;
  golden() {
    constexpr std::string_view names[] = {"record", "component", "station"};
    const std::string dir = TEST_DATA_DIR;
    table = tables::read_table(testing_support::file_text(dir + "/golden/sdofspec/ims.csv"), names);
    first = testing_support::read_motion(dir + "/RSN6_IMPVALL.I_I-ELC180.AT2");
    second = testing_support::read_motion(dir + "/RSN6_IMPVALL.I_I-ELC270.AT2");
  }
  // The row of the table whose component is named so, from the measures' first column on.
  std::vector<double> row(const std::string& component) const {
    const auto& names = table.columns[1].texts;
    const std::size_t r =
        static_cast<std::size_t>(std::find(names.begin(), names.end(), component) - names.begin());
    std::vector<double> values;
    for (std::size_t c = 4; c < table.columns.size(); ++c)
      values.push_back(table.columns[c].numbers.at(r));
    return values;
  }
};

// Bit for bit, NaN for NaN.
void expect_same(const std::vector<double>& got, const std::vector<double>& want,
                 const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (std::isnan(want[i])) {
      EXPECT_TRUE(std::isnan(got[i])) << what << " column " << i;
    } else {
      EXPECT_EQ(got[i], want[i]) << what << " column " << i;
    }
  }
}

TEST(Evaluate, ComponentAndPairAreTheTablesRows) {
  const golden g;
  ASSERT_TRUE(g.table.status.ok());
  const std::vector<tables::column> columns = all_columns();
  ASSERT_EQ(columns.size() + 4, g.table.columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) {
    EXPECT_EQ(columns[c].name, g.table.columns[c + 4].name);
  }
  settings s;
  s.table_periods = spectra::parse_periods("gmm").values;
  const component_values v =
      evaluate_component(g.first.components.at(0).acceleration, g.first.dt, s, false);
  expect_same(v.values, g.row("180"), "180");
  EXPECT_TRUE(v.warnings.empty());
  const std::vector<double> rotated =
      evaluate_pair(g.first.components.at(0).acceleration, g.second.components.at(0).acceleration,
                    g.first.dt, false);
  const char* rows[rotated_rows] = {"RotD00", "RotD50", "RotD100"};
  for (std::size_t k = 0; k < rotated_rows; ++k) {
    expect_same({rotated.begin() + static_cast<std::ptrdiff_t>(k * columns.size()),
                 rotated.begin() + static_cast<std::ptrdiff_t>((k + 1) * columns.size())},
                g.row(rows[k]), rows[k]);
  }
}

TEST(Evaluate, RefusesSettings) {
  const struct {
    double tolerance, bracket;
    std::vector<double> average;
    const char* what;
  } rows[] = {
      {0, 0.05, {}, "a tolerance is above 0 and at most 0.01"},
      {0.02, 0.05, {}, "a tolerance is above 0 and at most 0.01"},
      {1e-6, 0, {}, "the bracketed duration's threshold is a number of g above 0"},
      {1e-6, NAN, {}, "the bracketed duration's threshold is a number of g above 0"},
      {1e-6, 0.05, {0.1, -1}, "periods must be positive"},
  };
  for (const auto& row : rows) {
    settings s;
    s.si_tolerance = row.tolerance;
    s.bracket_g = row.bracket;
    s.average_periods = row.average;
    EXPECT_EQ(check_settings(s).what, row.what);
  }
  EXPECT_TRUE(check_settings({}).ok());
  const std::vector<double> a = {0, 1, 2};
  EXPECT_EQ(check_request(a, 0, {}).what,
            "the interval must be a positive number of seconds, not 0");
  settings s;
  s.table_periods = {1e-7};  // beyond the bound on steps per interval at 1 s
  EXPECT_EQ(check_request(a, 1, s).what.substr(0, 25), "the period 1e-07 s would ");
  EXPECT_TRUE(check_request(a, 0.01, {}).ok());
}

}  // namespace
}  // namespace measures
