// The report page, written in memory as a run writes it: what was run, every record and every
// failure in the table, the sections after it, nothing left behind.
#include "report/report.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/fake_disk.h"

namespace report {
namespace {

record_result record_of(const std::string& name, double pga) {
  record_result r;
  r.name = name;
  r.files = {{.path = name,
              .station = "STA",
              .event = "",
              .start = "",
              .dt = 0.01,
              .samples = 101,
              .channels = {"N", "E"}}};
  curve c{"N", 0.05, {0.1, 1}, {}, false};
  c.ordinates.resize(2);
  for (auto& o : c.ordinates) o.sd = o.psv = o.psa = 1;
  r.curves = {c};
  measure_row m{"N", false, {}};
  m.values.assign(12, NAN);
  m.values[0] = pga;
  r.intensity = {m};
  return r;
}

TEST(Report, EveryRecordAndFailureOnOnePage) {
  testing_support::fake_disk disk;
  edge::run_files files(disk);
  base::status why;
  const auto page = files.claim("report.html", why);
  ASSERT_TRUE(page);
  {
    writer w(nullptr, page.get(), disk, "",
             {.title = "Response spectra",
              .version = "sdofspec 9",
              .date = "2026-12-09T00:00:00Z",
              .command_line = "sdofspec --report report.html a.csv b.csv",
              .dampings = "0.05",
              .periods = "0.1,1",
              .continuous_peaks = true,
              .units = "g"});
    record_result a = record_of("a.csv", 1.95e-17);  // zero within rounding
    a.title = "a.csv";
    a.fourier = {{.label = "N",
                  .df = 0.5,
                  .raw = {0, 1, 2, 1},
                  .centres = {0.5, 1},
                  .smoothed = {1, 1.5},
                  .effective = false}};
    w.record(a);
    w.failed({.code = base::code::bad_input, .file = "bad.csv", .line = 3, .what = "not a number"});
    w.record(record_of("b.csv", 0.25));
    EXPECT_TRUE(w.finish().ok());
  }
  ASSERT_TRUE(page->commit().ok());
  const std::string& text = disk.files["report.html"];
  const auto at = [&](const std::string& what) { return text.find(what); };
  for (const char* wanted :
       {"sdofspec 9", "2026-12-09T00:00:00Z", "sdofspec --report report.html a.csv b.csv",
        ">bad.csv</td>", "line 3: not a number", "2 records computed, 1 failed",
        // The rule of the peaks, in the header and in the spectra's titles.
        "<td>over continuous time", "Response spectrum: a.csv, peaks between samples"}) {
    EXPECT_NE(at(wanted), std::string::npos) << wanted;
  }
  // The table holds both records before their sections; the zero PGA reads 0.
  EXPECT_LT(at("href=\"#r2\""), at("<section id=\"r1\""));
  EXPECT_NE(at("<td>0</td>"), std::string::npos);
  EXPECT_EQ(at("1.95e-17"), std::string::npos);
  EXPECT_LT(at("<section id=\"r1\""), at("<section id=\"r2\""));
  // The Fourier spectra, where a record has them, in its section.
  EXPECT_GT(at("Fourier amplitude spectrum"), at("<section id=\"r1\""));
  EXPECT_LT(at("Fourier amplitude spectrum"), at("<section id=\"r2\""));
  EXPECT_EQ(text.find("Fourier amplitude spectrum", at("<section id=\"r2\"")), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 8), "</html>\n");
  EXPECT_TRUE(disk.temporaries.empty());
}

}  // namespace
}  // namespace report
