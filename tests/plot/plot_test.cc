// Pictures: the reduction that keeps peaks, sdofresp's files read back, and SVG that parses,
// renders, and shows a known peak where it belongs.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "plot/figures.h"
#include "plot/outputs.h"
#include "plot/reduce.h"
#include "support/program.h"

namespace plot {
namespace {

using testing_support::temp_folder;

bool tool_present(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

int shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;
  const unsigned char* at(int x, int y) const {
    return rgba.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(x)) *
                             4;
  }
};

image read_png(const std::string& path) {
  image out;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return out;
  png.format = PNG_FORMAT_RGBA;
  out.width = static_cast<int>(png.width);
  out.height = static_cast<int>(png.height);
  out.rgba.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, out.rgba.data(), 0, nullptr)) out = image();
  return out;
}

// The largest and smallest value and every gap survive, whatever the number of columns.
TEST(Reduce, KeepsEveryPeakAndGap) {
  std::mt19937 random(3);
  std::normal_distribution<double> noise;
  for (int columns : {1, 7, 300}) {
    std::vector<double> x, y;
    for (int i = 0; i < 100000; ++i) {
      x.push_back(i * 0.01);
      y.push_back(i % 9973 == 0 ? NAN : noise(random));
    }
    y[4242] = 9.5;
    y[77777] = -8.25;
    const points p = reduce(x, y, 0, 1000, columns);
    // four points a column, and a gap can split a column and adds its own mark
    EXPECT_LE(p.x.size(), 4u * static_cast<std::size_t>(columns) + 5 * 11);
    double high = -INFINITY, low = INFINITY;
    int gaps = 0;
    for (double v : p.y) {
      if (std::isnan(v)) {
        ++gaps;
        continue;
      }
      high = std::max(high, v);
      low = std::min(low, v);
    }
    EXPECT_EQ(high, 9.5);
    EXPECT_EQ(low, -8.25);
    EXPECT_EQ(gaps, 10);  // every gap but the one at the start
    EXPECT_TRUE(std::is_sorted(p.x.begin(), p.x.end()));
  }
}

TEST(Outputs, ReadBackWithGaps) {
  const table_result r = read_output(
      " time(s),Ek(Kinematic),Ep(Potential),Ed(damping),Et(Total)\n"
      "   0.0000,   0.0000,   0.0000,   0.0000,   0.0000\r\n"
      "   0.0100,*********,   1.5000,      nan,  -2.2500\n");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.table.kind, file_kind::energy);
  EXPECT_EQ(r.table.missing, 2u);
  EXPECT_TRUE(std::isnan(r.table.columns[1][1]));
  EXPECT_EQ(r.table.columns[4][1], -2.25);
  const table_result wave = read_output(
      " time(s),InAcc1,Acc1,Vel1,Dis1,InAcc2,Acc2,Vel2,Dis2   ,InAcc3,Acc3,Vel3,Dis3\n"
      "   0.0200,  0.1000000+101, -0.1500000E+01,  0.2500000E-06,  0.1234560E+03, "
      "-0.1234568E-03,  0.1000000E+02,  0.1000000E+01, -0.3000000E+01,  0.5000000E+00,  "
      "0.1000000E+01,  0.0000000E+00,  0.1000000-100\n");
  ASSERT_TRUE(wave.ok()) << wave.error;
  EXPECT_EQ(wave.table.columns[1][0], 1e100);
  EXPECT_EQ(wave.table.columns[12][0], 1e-101);
  for (const char* wrong :
       {"t,a,b,c\n0,1,2,3\n", " time(s),vel1,vel2,vel3\n  0.0000,  x,  1,  2\n",
        // found by fuzzing: one exponent letter however many signs
        " time(s),vel1,vel2,vel3\n  2.0100,  1.1+++++++++++++++++++++++++++917,  1,  2\n",
        " time(s),vel1,vel2,vel3\n  0.0000,  1,  2\n"}) {
    EXPECT_FALSE(read_output(wrong).ok()) << wrong;
  }
}

// A spectrum with one sharp peak at 0.3 s: the SVG parses, renders, and the line's highest
// pixel is in the column of 0.3 s.
TEST(Pictures, PeakWhereItBelongs) {
  if (!tool_present("rsvg-convert") || !tool_present("xmllint")) {
    GTEST_SKIP() << "rsvg-convert (librsvg2-bin) or xmllint (libxml2-utils) is missing";
  }
  spectrum_curve c;
  c.component = "NS";
  for (int i = 0; i <= 200; ++i) {
    const double t = 0.01 * std::pow(10.0, i * 3.0 / 200);
    c.periods.push_back(t);
    c.psa.push_back(0.2 + 0.8 * std::exp(-std::pow(std::log(t / 0.3) / 0.05, 2)));
    c.psv.push_back(c.psa.back());
    c.sd.push_back(c.psa.back());
  }
  const figure f = spectrum_figure("a record", {c});
  temp_folder folder;
  const std::string svg = (folder / "s.svg").string(), png = (folder / "s.png").string();
  std::ofstream(svg) << render(f);
  ASSERT_EQ(shell("xmllint --noout " + svg), 0);
  ASSERT_EQ(shell("rsvg-convert " + svg + " -o " + png), 0);
  const image picture = read_png(png);
  ASSERT_GT(picture.width, 0);
  const area a = plot_area(f, 0);
  // The middle of the highest row of the line's colour (the line's top, or the circle that
  // marks the peak).
  int top_row = picture.height, coloured = 0;
  double columns = 0, in_top_row = 0;
  for (int y = static_cast<int>(a.top) + 2; y < static_cast<int>(a.top + a.height) - 2; ++y) {
    for (int x = static_cast<int>(a.left) + 2; x < static_cast<int>(a.left + a.width) - 2; ++x) {
      const unsigned char* p = picture.at(x, y);
      // The line's colour, #0072B2, give or take antialiasing.
      if (p[0] < 60 && std::abs(p[1] - 0x72) < 40 && std::abs(p[2] - 0xB2) < 50) {
        ++coloured;
        if (y < top_row) {
          top_row = y;
          columns = in_top_row = 0;
        }
        if (y == top_row) {
          columns += x;
          ++in_top_row;
        }
      }
    }
  }
  EXPECT_GT(coloured, 300);  // not blank
  EXPECT_NEAR(columns / in_top_row, x_pixel(f, 0, 0.3), 3);
}

// sdofplot on the files of a run: each picture parses and renders; values that did not fit
// are gaps, and the picture says how many.
TEST(Pictures, SdofplotDrawsTheFilesOfARun) {
  if (!tool_present("rsvg-convert") || !tool_present("xmllint")) {
    GTEST_SKIP() << "rsvg-convert (librsvg2-bin) or xmllint (libxml2-utils) is missing";
  }
  temp_folder folder;
  const std::string golden = std::string(TEST_DATA_DIR) + "/golden/";
  for (const char* name : {"Ground-Vel.csv", "Energy-Density-wave2.csv", "wave.csv"}) {
    std::ifstream in(golden + name, std::ios::binary);
    std::ofstream(folder / name, std::ios::binary) << in.rdbuf();
  }
  folder.write("long.csv",
               " time(s),vel1,vel2,vel3\n"
               "  0.0000,      0.0000,      0.0000,      0.0000\n"
               "********,      1.0000,      2.0000,      3.0000\n"
               "********,      2.0000,************,      3.0000\n");
  const std::string d = folder.path().string() + "/";
  ASSERT_EQ(shell(std::string(SDOFPLOT_EXECUTABLE) + " " + d + "Ground-Vel.csv " + d +
                  "Energy-Density-wave2.csv " + d + "wave.csv " + d + "long.csv"),
            0);
  for (const char* name : {"Ground-Vel", "Energy-Density-wave2", "wave", "long"}) {
    EXPECT_EQ(shell("xmllint --noout " + d + name + ".svg"), 0) << name;
    EXPECT_EQ(shell("rsvg-convert " + d + name + ".svg -o " + d + name + ".png"), 0) << name;
  }
  EXPECT_NE(folder.read("long.svg").find("3 values did not fit their fields"), std::string::npos);
  EXPECT_EQ(shell(std::string(SDOFPLOT_EXECUTABLE) + " " + golden + "record.csv 2>/dev/null"), 1);
}

// The report page opens in a browser without a network and without scripts.
TEST(Pictures, ReportOpensInABrowser) {
  const char* browser = tool_present("chromium") ? "chromium" : nullptr;
  if (!browser) GTEST_SKIP() << "Chromium is missing (apt-get install chromium): not checked";
  temp_folder folder;
  const std::string d = folder.path().string() + "/";
  ASSERT_EQ(shell(std::string(SDOFSPEC_EXECUTABLE) + " --periods gmm --rotd --report " + d +
                  "report.html -o " + d + "t.csv " + EXAMPLES_DIR + "/elcentro1940-array9.csv"),
            0);
  const std::string flags =
      " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
      "--disable-background-networking --disable-component-update --disable-sync "
      "--user-data-dir=" +
      d + "profile ";
  ASSERT_EQ(shell(std::string(browser) + flags + "--dump-dom file://" + d + "report.html > " + d +
                  "dom.html 2>/dev/null"),
            0);
  const std::string dom = folder.read("dom.html");
  EXPECT_NE(dom.find("<details open"), std::string::npos);
  EXPECT_NE(dom.find("RotD50"), std::string::npos);
  ASSERT_EQ(shell(std::string(browser) + flags + "--window-size=1200,900 --screenshot=" + d +
                  "page.png file://" + d + "report.html >/dev/null 2>&1"),
            0);
  EXPECT_GT(read_png(d + "page.png").width, 0);
}

}  // namespace
}  // namespace plot
