// The Fourier picture: raw spectra reduced in columns even in log f (the low frequencies keep
// every bin they have), drawn under the smoothed ones, the EAS heavier, and SVG that parses.
#include "plot/fourier_figure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "support/program.h"

namespace plot {
namespace {

TEST(FourierFigure, RawUnderSmoothedAndEveryLowBinKept) {
  std::vector<fourier_curve> curves(2);
  curves[0].label = "NS";
  curves[1].label = "EAS";
  curves[1].effective = true;
  const double df = 50.0 / 8640;
  for (fourier_curve& c : curves) {
    for (int k = 0; k <= 8640; ++k) {
      c.frequencies.push_back(k * df);
      c.raw.push_back(1 + std::abs(std::sin(k * 0.7)) * 100 / (1 + k * df));
    }
    for (int j = 0; j < 100; ++j) {
      c.centres.push_back(0.1 * std::pow(500.0, j / 99.0));
      c.smoothed.push_back(50 / (1 + c.centres.back()));
    }
  }
  const figure f = fourier_figure("a record", curves, "b = 40");
  ASSERT_EQ(f.panels.size(), 1u);
  const panel& p = f.panels[0];
  ASSERT_EQ(p.lines.size(), 4u);  // two raw lines first, then the two smoothed ones
  EXPECT_EQ(p.lines[0].label, "");
  EXPECT_EQ(p.lines[2].label, "NS");
  EXPECT_EQ(p.lines[3].colour, "#000000");
  EXPECT_GT(p.lines[3].width, p.lines[2].width);
  EXPECT_NE(p.lines[0].colour, p.lines[2].colour);
  EXPECT_EQ(p.x.title, "Frequency (Hz)");
  EXPECT_EQ(p.y.title, "Fourier amplitude (cm/s)");
  // Fewer bins than pixel columns between 0.1 and 1 Hz: all of them drawn, and few points in
  // all (the chart draws a series of at most four per column as it is).
  int low = 0;
  for (double x : p.lines[0].x) low += x >= 0.1 && x < 1;
  EXPECT_EQ(low, static_cast<int>(std::ceil(1 / df)) - static_cast<int>(std::ceil(0.1 / df)));
  EXPECT_LE(p.lines[0].x.size(), 4 * static_cast<std::size_t>(plot_area(f, 0).width));
  if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
    testing_support::temp_folder folder;
    const std::string svg = (folder / "f.svg").string();
    std::ofstream(svg) << render(f);
    EXPECT_EQ(std::system(("xmllint --noout " + svg).c_str()), 0);
  }
}

}  // namespace
}  // namespace plot
