// sdofspec's run in memory: what goes to the tables and to standard error, and the status.
#include "programs/sdofspec/run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "base/numbers.h"
#include "base/strings.h"
#include "edge/diagnostic.h"
#include "spectra/grids.h"
#include "support/data.h"
#include "support/fake_disk.h"
#include "tables/csv.h"

namespace sdofspec {
namespace {

// The words of a run, as the program would write them.
class memory_reporter final : public reporter {
 public:
  std::string reports;
  void report(const base::status& s, bool warning) override {
    (reports += edge::diagnostic("sdofspec", s, warning)) += '\n';
  }
  void progress(std::size_t, std::size_t, double) override {}
};

std::string data(const std::string& name) {
  return testing_support::file_text(std::string(TEST_DATA_DIR) + "/" + name);
}

struct result {
  int status;
  std::string table, intensity, reports;
};

// The run on an in-memory disk, its tables committed to table.csv and ims.csv.
result run_in_memory(const options& o, testing_support::fake_disk& disk) {
  edge::run_files files(disk);
  base::status why;
  const auto table = files.claim("table.csv", why);
  const auto intensity = o.intensity_measures ? files.claim("ims.csv", why) : nullptr;
  memory_reporter words;
  const int status = run(o, disk, words, {.table = table.get(), .intensity = intensity.get()});
  EXPECT_TRUE(table->commit().ok());
  if (intensity) {
    EXPECT_TRUE(intensity->commit().ok());
  }
  return {status, disk.files["table.csv"], disk.files["ims.csv"], words.reports};
}

options standard(std::vector<std::string> records) {
  options o;
  o.records = std::move(records);
  o.periods = spectra::parse_periods("gmm").values;
  o.dampings = {0.02, 0.05};
  return o;
}

std::size_t lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// A batch with a broken and a missing record: both reported with where reading stopped, the
// others written in the order given, the status 1; the same whatever the threads.
TEST(Run, BrokenRecordsAreReportedAndSkipped) {
  testing_support::fake_disk env;
  env.files["a.csv"] = data("northridge1994-sylmar-aftershock.csv");
  env.files["bad.csv"] = "t,NS(gal),EW(gal),UD(gal)\n0,1,2,3\n0.02,1,2;3\n";
  env.files["RSN6_180.AT2"] = data("RSN6_IMPVALL.I_I-ELC180.AT2");
  options o = standard({"a.csv", "bad.csv", "gone.csv", "RSN6_180.AT2"});
  o.jobs = 1;
  const result one = run_in_memory(o, env);
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(
      one.reports,
      "sdofspec: bad.csv:3: values separated by semicolons: separate them by commas or blanks\n"
      "sdofspec: gone.csv: No such file or directory\n");
  EXPECT_EQ(lines(one.table), 1 + 4 * 2 * 21);  // three components and one, two dampings
  EXPECT_EQ(one.table.find("a.csv,NS,,,0.02,0.01,"), one.table.find('\n') + 1);
  EXPECT_LT(one.table.find("a.csv,UD,,,0.05,10,"),
            one.table.find("RSN6_180.AT2,180,El Centro Array #9,180,0.02,0.01,"));
  o.jobs = 4;
  const result four = run_in_memory(o, env);
  EXPECT_EQ(four.table, one.table);
  EXPECT_EQ(four.reports, one.reports);
}

// The files of one PEER record pair up by their RSN; the vertical stays alone. Rotated rows
// and the intensity measures follow, and a pair of unequal lengths is cut with a warning.
TEST(Run, PeerRecordsPairUp) {
  testing_support::fake_disk env;
  env.files["RSN6_180.AT2"] = data("RSN6_IMPVALL.I_I-ELC180.AT2");
  std::string shorter = data("RSN6_IMPVALL.I_I-ELC270.AT2");
  shorter.replace(shorter.find("5346"), 4, "5345");
  shorter.erase(shorter.rfind("  ", shorter.size() - 3));  // the last value goes
  shorter += "\r\n";
  env.files["RSN6_270.AT2"] = shorter;
  env.files["RSN6_UP.AT2"] = data("RSN6_IMPVALL.I_I-ELC-UP.AT2");
  options o = standard({"RSN6_180.AT2", "RSN6_270.AT2", "RSN6_UP.AT2"});
  o.rotd = o.intensity_measures = true;
  const result r = run_in_memory(o, env);
  EXPECT_EQ(r.status, 0) << r.reports;
  EXPECT_EQ(r.reports,
            "sdofspec: warning: RSN6_180.AT2, RSN6_270.AT2: 5346 and 5345 samples: the pair is "
            "cut to 5345\n");
  EXPECT_EQ(lines(r.table), 1 + (3 + 3) * 2 * 21u);
  EXPECT_NE(r.table.find("\nRSN6_180.AT2+RSN6_270.AT2,RotD50,El Centro Array #9,180,0.05,1,"),
            std::string::npos);
  EXPECT_EQ(lines(r.intensity), 1 + 3 + 3u);
  EXPECT_NE(r.intensity.find("\nRSN6_UP.AT2,UP,El Centro Array #9,,"), std::string::npos);
}

// A rotated row per percentile, in the order given, with RotD of Sd, Sv and Sa: ordered by
// percentile at each period, RotD00 at most and RotD100 at least the peak at 0 degrees (the
// first component's own).
TEST(Run, RotatedRowsAtEveryPercentile) {
  testing_support::fake_disk env;
  env.files["RSN6_180.AT2"] = data("RSN6_IMPVALL.I_I-ELC180.AT2");
  env.files["RSN6_270.AT2"] = data("RSN6_IMPVALL.I_I-ELC270.AT2");
  options o = standard({"RSN6_180.AT2", "RSN6_270.AT2"});
  o.dampings = {0.05};
  o.rotd = true;
  o.rotd_percentiles = {84, 0, 100};
  const result r = run_in_memory(o, env);
  ASSERT_EQ(r.status, 0) << r.reports;
  // name -> period -> (Sd, Sv, Sa, the three angles)
  std::map<std::string, std::map<double, std::vector<double>>> rows;
  std::vector<std::string> order;
  std::size_t at = r.table.find('\n') + 1;
  while (at < r.table.size()) {
    const std::size_t end = r.table.find('\n', at);
    const std::vector<std::string_view> f =
        base::split(std::string_view(r.table).substr(at, end - at), ',');
    at = end + 1;
    ASSERT_EQ(f.size(), 16u);
    const std::string name(f[1]);
    if (order.empty() || order.back() != name) order.push_back(name);
    std::vector<double>& v = rows[name][*base::parse_decimal(f[5])];
    for (std::size_t i : {6, 7, 8, 13, 14, 15}) {
      v.push_back(f[i].empty() ? NAN : *base::parse_decimal(f[i]));
    }
  }
  EXPECT_EQ(order, (std::vector<std::string>{"180", "270", "RotD84", "RotD00", "RotD100"}));
  for (const auto& [period, c] : rows["180"]) {
    const std::vector<double>&low = rows["RotD00"][period], &mid = rows["RotD84"][period],
          &high = rows["RotD100"][period];
    for (int i = 0; i < 3; ++i) {
      EXPECT_LE(low[i], c[i]) << period << " " << i;
      EXPECT_LE(low[i], mid[i]) << period << " " << i;
      EXPECT_LE(mid[i], high[i]) << period << " " << i;
      EXPECT_GE(high[i], c[i]) << period << " " << i;
      for (const auto* row : {&low, &mid, &high}) {
        EXPECT_TRUE((*row)[3 + i] >= 0 && (*row)[3 + i] < 180) << period;
      }
    }
  }
}

// The inelastic table: a row per component, spectrum kind, period and target; a component of
// zeros has none.
TEST(Run, InelasticRows) {
  testing_support::fake_disk env;
  env.files["ns.csv"] = data("elcentro1940-ns-textbook.csv");  // its EW and UD are zero
  options o = standard({"ns.csv"});
  o.periods = {0.5, 1};
  o.dampings = {0.05};
  o.inelastic = {.wanted = true, .ductilities = {4}, .strength_ratios = {2}, .alpha = 0};
  edge::run_files files(env);
  base::status why;
  const auto table = files.claim("table.csv", why);
  const auto inelastic = files.claim("inelastic.csv", why);
  memory_reporter words;
  EXPECT_EQ(run(o, env, words, {.table = table.get(), .inelastic = inelastic.get()}), 0);
  ASSERT_TRUE(inelastic->commit().ok());
  const std::string& text = env.files["inelastic.csv"];
  EXPECT_EQ(lines(text), 1 + 2 * 2u);
  EXPECT_EQ(text.find("ns.csv,EW"), std::string::npos);
  EXPECT_NE(text.find("\nns.csv,NS,,,ductility,0.05,0,0.5,4,"), std::string::npos);
  EXPECT_NE(text.find("\nns.csv,NS,,,strength,0.05,0,1,2,0.5,2,"), std::string::npos);
}

// Processing: every table says what was done; a record whose interval cannot take a corner is
// refused as a usage error (status 2) and the others are computed and written out.
TEST(Run, ProcessedRecordsAndWhatWasDone) {
  testing_support::fake_disk env;
  env.files["a.csv"] = data("northridge1994-sylmar-aftershock.csv");  // 0.02 s: Nyquist 25 Hz
  env.files["b.csv"] = data("lomaprieta1989-corralitos.csv");         // 0.005 s: 100 Hz
  env.folders.insert("out");
  options o = standard({"a.csv", "b.csv"});
  o.dampings = {0.05};
  o.processing = {.highpass = 0.2, .lowpass = 30, .baseline = true};
  edge::run_files files(env);
  base::status why;
  const auto table = files.claim("table.csv", why);
  memory_reporter words;
  EXPECT_EQ(run(o, env, words, {.table = table.get(), .processed_folder = "out", .files = &files}),
            2);
  ASSERT_TRUE(table->commit().ok());
  EXPECT_EQ(words.reports,
            "sdofspec: a.csv: component NS: lowpass corner 30 Hz is not below the Nyquist "
            "frequency 25 Hz of samples 0.02 s apart\n");
  const std::string& text = env.files["table.csv"];
  EXPECT_EQ(text.find("a.csv"), std::string::npos);
  EXPECT_NE(text.find(",mean removed; zero pads 15 s at each end; highpass 0.2 Hz order 4 acausal; "
                      "lowpass 30 Hz order 4 acausal; baseline polynomial t^2 to t^6 removed\n"),
            std::string::npos);
  for (const char* channel : {"NS", "EW", "UD"}) {
    EXPECT_EQ(env.files.count(std::string("out/lomaprieta-") + channel + ".AT2"), 0u);
    EXPECT_EQ(env.files.count(std::string("out/b-") + channel + ".AT2"), 1u) << channel;
  }
}

TEST(Run, CsvFieldsAndNumbers) {
  EXPECT_EQ(tables::csv_field("plain.csv"), "plain.csv");
  EXPECT_EQ(tables::csv_field("a,b.csv"), "\"a,b.csv\"");
  EXPECT_EQ(tables::csv_field("say \"x\""), "\"say \"\"x\"\"\"");
  EXPECT_EQ(base::shortest(0.1), "0.1");
  EXPECT_EQ(base::shortest(1e-7), "1e-07");
  EXPECT_EQ(std::stod(base::shortest(0.1 + 0.2)), 0.1 + 0.2);
}

// The command line: usage errors end with status 2, help and version with 0.
TEST(CommandLine, StatusesAndUsage) {
  const struct {
    const char* arguments;
    int status;
    const char* first_words;  // of standard error, or of standard output when it is 0
  } rows[] = {
      {"", 2, "sdofspec: no record given"},
      {"--periods log:1:0.1:5 x.csv", 2, "sdofspec: --periods: periods must be positive"},
      {"--damping 5 x.csv", 2, "sdofspec: --damping:"},
      {"--rotd-percentiles 50,101 x.csv", 2, "sdofspec: --rotd-percentiles: percentiles are"},
      {"--units furlong x.csv", 2, "sdofspec: --units:"},
      {"--si-tolerance 0 x.csv", 2, "sdofspec: --si-tolerance: a tolerance is above 0"},
      {"--no-such-option x.csv", 2, "sdofspec: The following argument"},
      {"--help", 0, "Response spectra"},
      {"--version", 0, "sdofspec 1."},
      {"missing.csv", 1, "sdofspec: missing.csv: No such file or directory"},
  };
  for (const auto& row : rows) {
    const std::string command = std::string(SDOFSPEC_EXECUTABLE) + " " + row.arguments +
                                (row.status == 0 ? " 2>/dev/null" : " 2>&1 >/dev/null");
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      output.append(buffer, n);
    const int status = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), row.status) << row.arguments;
    EXPECT_EQ(output.rfind(row.first_words, 0), 0u) << row.arguments << ": " << output;
  }
}

}  // namespace
}  // namespace sdofspec
