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
#include "spectra/fourier/frequencies.h"
#include "spectra/grids.h"
#include "support/data.h"
#include "support/fake_disk.h"
#include "tables/columns.h"
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

// A run with --fas: the Fourier table read back, the words and the status (the spectra table
// is dropped).
struct fourier_result {
  int status;
  std::string table, reports;
  tables::table_read read;
};
fourier_result fourier_run(const options& o, testing_support::fake_disk& env,
                           report::record_sink* sink = nullptr) {
  edge::run_files files(env);
  base::status why;
  const auto table = files.claim("table.csv", why);
  const auto fas = files.claim("fas.csv", why);
  memory_reporter words;
  const int status = run(o, env, words, {.table = table.get(), .fourier = fas.get(), .sink = sink});
  EXPECT_TRUE(fas->commit().ok());
  const std::string_view text_columns[] = {"record", "component", "station", "processing"};
  const std::string& text = env.files["fas.csv"];
  return {status, text, words.reports, tables::read_table(text, text_columns)};
}

// The amplitudes of one component of a Fourier table, and their frequencies.
struct amplitudes_of {
  std::vector<double> frequencies, values;
};
amplitudes_of amplitudes(const tables::table_read& t, std::string_view component) {
  amplitudes_of a;
  for (std::size_t i = 0; i < t.columns[1].texts.size(); ++i) {
    if (t.columns[1].texts[i] != component) continue;
    a.frequencies.push_back(t.columns[4].numbers[i]);
    a.values.push_back(t.columns[5].numbers[i]);
  }
  return a;
}

class pictures final : public report::record_sink {
 public:
  std::vector<report::record_result> records;
  void record(const report::record_result& r) override { records.push_back(r); }
};

// A horizontal pair: rows of each component, then of the EAS under the pair's name. The EAS is
// the quadratic mean of the two FAS: between their arithmetic mean and the larger at each bin;
// smoothed (a weighted mean, by Minkowski's inequality) between the quadratic mean of the two
// smoothed FAS and their sum over sqrt 2.
TEST(Run, FourierTableOfAPair) {
  testing_support::fake_disk env;
  env.files["180.AT2"] = data("RSN6_IMPVALL.I_I-ELC180.AT2");
  env.files["270.AT2"] = data("RSN6_IMPVALL.I_I-ELC270.AT2");
  // 5346 samples at 0.01 s: padded to 5400 = 2^3 3^3 5^2, bins k/54 Hz, k = 0 .. 2700.
  const std::vector<double> grid = fourier::parse_grid(fourier::default_grid).values;
  const struct {
    bool raw;
    std::size_t rows;  // per spectrum
    double first, last;
  } cases[] = {{true, 2701, 0, 50}, {false, 100, 0.1, 50}};
  for (const auto& c : cases) {
    options o = standard({});
    o.pairs = {{"180.AT2", "270.AT2"}};
    o.fourier = {.wanted = true, .raw = c.raw};
    pictures sink;
    const fourier_result r = fourier_run(o, env, &sink);
    ASSERT_EQ(r.status, 0) << r.reports;
    EXPECT_EQ(r.table.substr(0, r.table.find('\n')),
              "record,component,station,azimuth_deg,frequency_hz,amplitude_cm_s");
    EXPECT_EQ(lines(r.table), 1 + 3 * c.rows);
    EXPECT_EQ(r.table.find("\n180.AT2,180,El Centro Array #9,180,"), r.table.find('\n'));
    EXPECT_NE(r.table.find("\n180.AT2+270.AT2,EAS,El Centro Array #9,180,"), std::string::npos);
    const tables::table_read& t = r.read;
    ASSERT_TRUE(t.status.ok()) << t.status.what;
    const amplitudes_of one = amplitudes(t, "180"), two = amplitudes(t, "270"),
                        eas = amplitudes(t, "EAS");
    ASSERT_EQ(eas.values.size(), c.rows);
    EXPECT_EQ(one.frequencies, eas.frequencies);
    EXPECT_EQ(two.frequencies, eas.frequencies);
    EXPECT_EQ(eas.frequencies.front(), c.first);
    EXPECT_NEAR(eas.frequencies.back(), c.last, 1e-12);
    if (!c.raw) {
      EXPECT_EQ(eas.frequencies, grid);
    }
    for (std::size_t k = 0; k < c.rows; ++k) {
      const double a1 = one.values[k], a2 = two.values[k], e = eas.values[k];
      const double low = c.raw ? (a1 + a2) / 2 : std::sqrt((a1 * a1 + a2 * a2) / 2);
      const double high = c.raw ? std::max(a1, a2) : (a1 + a2) / std::sqrt(2.0);
      EXPECT_GE(e, low * (1 - 1e-14)) << k;
      EXPECT_LE(e, high * (1 + 1e-14)) << k;
    }
    // The picture: each component light and smoothed, the EAS heavier.
    ASSERT_EQ(sink.records.size(), 1u);
    const std::vector<report::fourier_curve>& curves = sink.records[0].fourier;
    ASSERT_EQ(curves.size(), 3u);
    EXPECT_EQ(curves[2].label, "EAS");
    EXPECT_TRUE(curves[2].effective && !curves[0].effective && !curves[1].effective);
    EXPECT_EQ(curves[0].raw.size(), 2701u);
    EXPECT_EQ(curves[2].centres, grid);
  }
}

// --fas-grid past a record's Nyquist frequency refuses the record (status 2), as a corner of
// the processing does; the default grid stops there. a.csv is sampled at 0.02 s (25 Hz), b.csv
// at 0.005 s (100 Hz); 88 of the default 100 frequencies, 500^(i/99) / 10 for i = 0 .. 87, are
// at or below 25 Hz.
TEST(Run, FourierGridAndNyquist) {
  testing_support::fake_disk env;
  env.files["a.csv"] = data("northridge1994-sylmar-aftershock.csv");
  env.files["b.csv"] = data("lomaprieta1989-corralitos.csv");
  const struct {
    const char* grid;  // "" for the default
    int status;
    std::size_t rows_a, rows_b;  // per component
    const char* reports;
  } cases[] = {
      {"", 0, 88, 100, ""},
      {"log:1:30:5", 2, 0, 5,
       "sdofspec: a.csv: component NS: --fas-grid: the grid reaches 30 Hz, above the Nyquist "
       "frequency 25 Hz of this record\n"},
      {"log:1:25:5", 0, 5, 5, ""},
  };
  for (const auto& c : cases) {
    options o = standard({"a.csv", "b.csv"});
    o.fourier.wanted = true;
    if (*c.grid) {
      o.fourier.grid = fourier::parse_grid(c.grid).values;
      o.fourier.grid_given = true;
    }
    const fourier_result r = fourier_run(o, env);
    EXPECT_EQ(r.status, c.status) << c.grid;
    EXPECT_EQ(r.reports, c.reports) << c.grid;
    ASSERT_TRUE(r.read.status.ok()) << r.read.status.what;
    const std::vector<std::string>& records = r.read.columns[0].texts;
    EXPECT_EQ(std::count(records.begin(), records.end(), "a.csv"), 3 * c.rows_a) << c.grid;
    EXPECT_EQ(std::count(records.begin(), records.end(), "b.csv"), 3 * c.rows_b) << c.grid;
  }
}

// The FAS is of the record as processed: a high-pass at 0.2 Hz takes the amplitude at 0.1 Hz
// to under a tenth and leaves 5 Hz within a tenth; components of zeros stay zero (no 0/0 in
// the smoothing).
TEST(Run, FourierOfTheProcessedRecord) {
  testing_support::fake_disk env;
  env.files["ns.csv"] = data("elcentro1940-ns-textbook.csv");  // its EW and UD are zero
  options o = standard({"ns.csv"});
  o.fourier = {.wanted = true, .grid = {0.1, 5}, .grid_given = true};
  const fourier_result plain = fourier_run(o, env);
  o.processing = {.highpass = 0.2};
  const fourier_result processed = fourier_run(o, env);
  ASSERT_EQ(plain.status + processed.status, 0) << processed.reports;
  EXPECT_EQ(processed.table.substr(0, processed.table.find('\n')),
            "record,component,station,azimuth_deg,frequency_hz,amplitude_cm_s,processing");
  const amplitudes_of ns = amplitudes(plain.read, "NS"),
                      ns_processed = amplitudes(processed.read, "NS");
  ASSERT_EQ(ns.values.size(), 2u);
  ASSERT_EQ(ns_processed.values.size(), 2u);
  EXPECT_GT(ns.values[0], 0);
  EXPECT_LT(ns_processed.values[0], ns.values[0] / 10);
  EXPECT_NEAR(ns_processed.values[1] / ns.values[1], 1, 0.1);
  for (const char* zero : {"EW", "UD"}) {
    EXPECT_EQ(amplitudes(processed.read, zero).values, std::vector<double>(2, 0.0)) << zero;
  }
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
      {"--peaks exact x.csv", 2, "sdofspec: --peaks: sampled or continuous, not 'exact'"},
      {"--units furlong x.csv", 2, "sdofspec: --units:"},
      {"--si-tolerance 0 x.csv", 2, "sdofspec: --si-tolerance: a tolerance is above 0"},
      // The Fourier options: each needs --fas; grids and b that smooth, not with raw.
      {"--fas-grid log:1:10:5 x.csv", 2,
       "sdofspec: --fas-frequencies, --fas-grid and --ko-b need --fas FILE"},
      {"--fas f.csv --ko-b 0 x.csv", 2, "sdofspec: --ko-b: the bandwidth b is above 0"},
      {"--fas f.csv --fas-grid log:10:1:5 x.csv", 2, "sdofspec: --fas-grid: frequencies must be"},
      {"--fas f.csv --fas-frequencies binned x.csv", 2,
       "sdofspec: --fas-frequencies: raw or smoothed, not 'binned'"},
      {"--fas f.csv --fas-frequencies raw --ko-b 40 x.csv", 2,
       "sdofspec: --fas-grid and --ko-b smooth: not with --fas-frequencies raw"},
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
