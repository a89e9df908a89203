// sdofspec's work as values: records read, the run's tables in memory, jobs run apart, option
// values.
#include "programs/sdofspec/in_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "edge/diagnostic.h"
#include "edge/output_file.h"
#include "programs/sdofspec/run.h"
#include "spectra/grids.h"
#include "support/data.h"
#include "support/fake_disk.h"

namespace sdofspec {
namespace {

std::string data(const std::string& name) {
  return testing_support::file_text(std::string(TEST_DATA_DIR) + "/" + name);
}

// The records and options of the kept sdofspec tables (tests/golden/golden_test.sh).
struct golden_run {
  testing_support::fake_disk disk;
  options o;
  golden_run() {
    for (const char* name : {"RSN6_IMPVALL.I_I-ELC180.AT2", "RSN6_IMPVALL.I_I-ELC270.AT2",
                             "RSN6_IMPVALL.I_I-ELC-UP.AT2", "elcentro1940-ns-textbook.csv"}) {
      disk.files[name] = data(name);
      o.records.push_back(name);
    }
    o.periods = spectra::parse_periods("gmm").values;
    o.dampings = {0.02, 0.05};
    o.rotd = o.energy = o.intensity_measures = true;
    o.jobs = 2;
  }
};

std::vector<std::string> located(const std::vector<base::status>& statuses) {
  std::vector<std::string> words;
  for (const base::status& s : statuses) words.push_back(edge::located(s));
  return words;
}

// The tables are the command line's, byte for byte, its warnings kept, and nothing is
// written to the disk.
TEST(RunInMemory, TablesAreTheCommandLines) {
  golden_run g;
  const tables_in_memory t = run_in_memory(g.o, g.disk);
  EXPECT_EQ(t.status, 0);
  EXPECT_EQ(t.spectra, data("golden/sdofspec/spectra.csv"));
  EXPECT_EQ(t.intensity, data("golden/sdofspec/ims.csv"));
  EXPECT_TRUE(t.failures.empty());
  EXPECT_EQ(located(t.warnings),
            (std::vector<std::string>{"elcentro1940-ns-textbook.csv: component EW is all zero",
                                      "elcentro1940-ns-textbook.csv: component UD is all zero"}));
  EXPECT_EQ(g.disk.files.size(), 4u);
  EXPECT_TRUE(g.disk.temporaries.empty());
}

// A missing record and an unreadable list are failures with the command line's words and
// status; the other records are still in the table.
TEST(RunInMemory, FailuresAreKept) {
  golden_run g;
  g.o.records = {"gone.csv", "@missing.list", "elcentro1940-ns-textbook.csv"};
  g.o.intensity_measures = false;
  const tables_in_memory t = run_in_memory(g.o, g.disk);
  EXPECT_EQ(t.status, 1);
  EXPECT_EQ(located(t.failures),
            (std::vector<std::string>{"missing.list: No such file or directory",
                                      "gone.csv: No such file or directory"}));
  EXPECT_NE(t.spectra.find("\nelcentro1940-ns-textbook.csv,NS,"), std::string::npos);
  EXPECT_TRUE(t.intensity.empty());
}

// Runs of whole jobs, one after the other, give the run's table: the pair of a PEER record
// stays in one job, whatever the order of its files in the list.
TEST(RunInMemory, JobsRunApartJoinToTheRun) {
  golden_run g;
  g.o.records = {"RSN6_IMPVALL.I_I-ELC180.AT2", "elcentro1940-ns-textbook.csv",
                 "RSN6_IMPVALL.I_I-ELC-UP.AT2", "RSN6_IMPVALL.I_I-ELC270.AT2"};
  const job_files plan = plan_files(g.o, g.disk);
  ASSERT_EQ(plan.jobs.size(), 2u);
  EXPECT_EQ(plan.jobs[0],
            (std::vector<std::string>{"RSN6_IMPVALL.I_I-ELC180.AT2", "RSN6_IMPVALL.I_I-ELC-UP.AT2",
                                      "RSN6_IMPVALL.I_I-ELC270.AT2"}));
  const tables_in_memory whole = run_in_memory(g.o, g.disk);
  std::string spectra, intensity;
  for (const std::vector<std::string>& files : plan.jobs) {
    options part = g.o;
    part.records = files;
    const tables_in_memory t = run_in_memory(part, g.disk);
    const auto body = [&](const std::string& table) {
      return (spectra.empty() && &table == &t.spectra) ||
                     (intensity.empty() && &table == &t.intensity)
                 ? table
                 : table.substr(table.find('\n') + 1);
    };
    spectra += body(t.spectra);
    intensity += body(t.intensity);
  }
  EXPECT_EQ(spectra, whole.spectra);
  EXPECT_EQ(intensity, whole.intensity);
}

// The Fourier table in memory is the one the run writes to --fas FILE, byte for byte, smoothed
// or raw; without --fas there is none.
TEST(RunInMemory, FourierTableIsTheOneWritten) {
  struct silent final : reporter {
    void report(const base::status&, bool) override {}
    void progress(std::size_t, std::size_t, double) override {}
  } words;
  for (const bool raw : {false, true}) {
    golden_run g;
    g.o.intensity_measures = false;
    g.o.fourier = {.wanted = true, .raw = raw};
    edge::run_files files(g.disk);
    base::status why;
    const auto table = files.claim("spectra.csv", why);
    const auto fas = files.claim("fas.csv", why);
    ASSERT_EQ(run(g.o, g.disk, words, {.table = table.get(), .fourier = fas.get()}), 0);
    ASSERT_TRUE(table->commit().ok() && fas->commit().ok());
    const tables_in_memory t = run_in_memory(g.o, g.disk);
    EXPECT_EQ(t.fourier, g.disk.files.at("fas.csv")) << raw;
    EXPECT_EQ(t.spectra, g.disk.files.at("spectra.csv")) << raw;
    EXPECT_NE(t.fourier.find(",EAS,"), std::string::npos) << raw;
  }
  golden_run g;
  EXPECT_TRUE(run_in_memory(g.o, g.disk).fourier.empty());
}

TEST(RunInMemory, ReadRecordNamesTheFile) {
  testing_support::fake_disk disk;
  disk.files["bad.csv"] = "t,NS(gal),EW(gal),UD(gal)\n0,1,2,3\n0.02,1,2;3\n";
  disk.files["good.csv"] = data("elcentro1940-ns-textbook.csv");
  const records::read_result bad = read_record(disk, "bad.csv", {});
  EXPECT_EQ(edge::located(bad.status),
            "bad.csv:3: values separated by semicolons: separate them by commas or blanks");
  EXPECT_EQ(edge::located(read_record(disk, "gone.csv", {}).status),
            "gone.csv: No such file or directory");
  const records::read_result good = read_record(disk, "good.csv", {});
  ASSERT_TRUE(good.ok());
  EXPECT_EQ(good.components.size(), 3u);
  EXPECT_EQ(good.components[0].acceleration,
            records::read_any(data("elcentro1940-ns-textbook.csv"), {}).components[0].acceleration);
}

TEST(RunInMemory, OptionValues) {
  std::optional<base::acceleration_unit> units;
  EXPECT_TRUE(read_units("gal", units).ok());
  EXPECT_EQ(units, base::acceleration_unit::gal);
  EXPECT_EQ(read_units("furlongs", units).what, "expected g, gal or m/s2, not 'furlongs'");
  const records::format* format = nullptr;
  EXPECT_TRUE(read_format("at2", format).ok());
  EXPECT_EQ(format, records::format_named("at2"));
  const std::string refused = read_format("xyz", format).what;
  EXPECT_EQ(refused.substr(0, 7), "one of ");
  EXPECT_NE(refused.find("at2, "), std::string::npos);
  EXPECT_EQ(refused.substr(refused.size() - 11), ", not 'xyz'");
  for (double counts : {0.0, -1.0, double(NAN), double(INFINITY)}) {
    EXPECT_EQ(check_counts_per_unit(counts, base::acceleration_unit::g).what, "a number above 0")
        << counts;
  }
  EXPECT_TRUE(check_counts_per_unit(1e-3, base::acceleration_unit::g).ok());
  EXPECT_EQ(check_counts_per_unit(1e-3, std::nullopt).what, "needs the units they count");
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  EXPECT_EQ(threads(0), cores);  // one per core when not asked
  EXPECT_EQ(threads(1), 1u);
  EXPECT_EQ(threads(cores + 7), cores);  // never more than the cores
}

// The inelastic table is kept beside the spectra when asked, one row per moving component,
// period and target after the header (the textbook record's EW and UD are all zero); with
// processing, every row says what was done.
TEST(RunInMemory, KeepsTheInelasticTable) {
  golden_run g;
  g.o.records = {"elcentro1940-ns-textbook.csv"};
  g.o.periods = {0.5, 1};
  g.o.dampings = {0.05};
  g.o.intensity_measures = false;
  EXPECT_TRUE(run_in_memory(g.o, g.disk).inelastic.empty());
  g.o.inelastic = {.wanted = true, .ductilities = {2, 4}, .strength_ratios = {}, .alpha = 0};
  g.o.processing.highpass = 0.1;
  const tables_in_memory t = run_in_memory(g.o, g.disk);
  EXPECT_EQ(t.status, 0);
  EXPECT_EQ(std::count(t.inelastic.begin(), t.inelastic.end(), '\n'), 1 + 2 * 2);
  EXPECT_EQ(std::count_if(t.inelastic.begin(), t.inelastic.end(), [](char c) { return c == ';'; }),
            2 * 4);  // "mean removed; zero pads 30 s at each end; highpass 0.1 Hz order 4 acausal"
}

// The processing options the command line refuses before reading any record.
TEST(RunInMemory, ChecksProcessingAsTheCommandLine) {
  const auto steps_with = [](auto change) {
    processing::steps s;
    change(s);
    return s;
  };
  struct row {
    processing::steps steps;
    const char* error;
  } rows[] = {
      {{}, ""},                                             // nothing asked
      {steps_with([](auto& s) { s.highpass = 0.1; }), ""},  // one filter
      {steps_with([](auto& s) { s.causal = true; }), "the order and causal need a processing step"},
      {steps_with([](auto& s) { s.order = 2; }), "the order and causal need a processing step"},
      {steps_with([](auto& s) { s.taper = 1, s.causal = true; }), "causal without a filter"},
  };
  for (const row& r : rows) EXPECT_EQ(check_processing(r.steps).what, r.error) << r.error;
}

}  // namespace
}  // namespace sdofspec
