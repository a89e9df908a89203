// The pictures as a reader meets them: units and titles in the text, zero components left out,
// fitted axes, peaks and durations where they are, and labels that cover neither each other
// nor the curves, judged from the SVG's own coordinates.
#include "plot/figures.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "plot/text_box.h"
#include "records/registry.h"
#include "spectra/spectrum.h"
#include "support/program.h"

namespace plot {
namespace {

using testing_support::temp_folder;

std::string file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string unescaped(std::string s) {
  for (const auto& [from, to] :
       {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}}) {
    for (std::size_t at; (at = s.find(from)) != std::string::npos;) s.replace(at, strlen(from), to);
  }
  return s;
}

// Every text of an SVG with the box a reader's eye gives it: 0.6 em a character, from 0.8 em
// above the baseline to 0.2 em below, turned with the text where it is turned.
struct svg_text {
  std::string content;
  box where;
  bool grey_label;  // a guide's label
};
std::vector<svg_text> texts_of(const std::string& svg) {
  std::vector<svg_text> out;
  const std::regex text(
      R"re(<text x="([-\d.]+)" y="([-\d.]+)" text-anchor="(\w+)" (transform="rotate\(-90[^"]*" )?font-size="([\d.]+)"([^>]*)>([^<]*)</text>)re");
  for (std::sregex_iterator i(svg.begin(), svg.end(), text), end; i != end; ++i) {
    const std::smatch& m = *i;
    const double x = std::stod(m[1]), y = std::stod(m[2]), size = std::stod(m[5]);
    const std::string content = unescaped(m[7]);
    std::size_t characters = 0;
    for (char c : content) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    const double w = 0.6 * size * static_cast<double>(characters);
    const double left = m[3] == "middle" ? x - w / 2 : m[3] == "end" ? x - w : x;
    box b{left, y - 0.8 * size, left + w, y + 0.2 * size};
    if (m[4].matched) b = {x - 0.8 * size, y - (b.right - x), x + 0.2 * size, y + (x - b.left)};
    out.push_back({content, b, m[6].str().find("#555555") != std::string::npos});
  }
  return out;
}

// The data lines: every unfilled path, as polylines in pixels.
std::vector<polyline> lines_of(const std::string& svg) {
  std::vector<polyline> out;
  const std::regex path(R"re(<path d="([^"]*)" fill="none")re");
  const std::regex point(R"re(([ML])([-\d.]+),([-\d.]+))re");
  for (std::sregex_iterator i(svg.begin(), svg.end(), path), end; i != end; ++i) {
    const std::string d = (*i)[1];
    polyline line;
    for (std::sregex_iterator p(d.begin(), d.end(), point); p != end; ++p) {
      if ((*p)[1] == "M" && !line.x.empty()) {
        line.x.push_back(NAN);
        line.y.push_back(NAN);
      }
      line.x.push_back(std::stod((*p)[2]));
      line.y.push_back(std::stod((*p)[3]));
    }
    out.push_back(std::move(line));
  }
  return out;
}

// Spectra of a bundled record's components at 2, 5 and 10%, with RotD50 as a heavy curve.
std::vector<spectrum_curve> bundled_spectra(const std::string& name) {
  const records::read_result r =
      records::read_any(file(std::string(TEST_DATA_DIR) + "/" + name), {});
  std::vector<double> periods;
  for (int i = 0; i <= 80; ++i) periods.push_back(0.01 * std::pow(10.0, i * 3.3 / 80));
  std::vector<spectrum_curve> curves;
  for (const records::component& c : r.components) {
    for (double h : {0.02, 0.05, 0.1}) {
      spectrum_curve s{.component = c.channel, .damping = h, .periods = periods};
      for (const auto& o : spectra::response_spectrum(c.acceleration, c.dt, periods, h, false)) {
        s.sd.push_back(o.sd);
        s.psa.push_back(o.psa);
        s.psv.push_back(o.psv);
      }
      curves.push_back(std::move(s));
    }
  }
  spectrum_curve rotd = curves[1];  // a stand-in: a heavy curve of its own
  rotd.component = "RotD50";
  rotd.heavy = true;
  curves.push_back(rotd);
  return curves;
}

// No text covers another, and no curve crosses a guide's label inside the frame.
TEST(Figures, TripartiteLabelsCoverNothing) {
  for (const char* record : {"elcentro1940-ns-textbook.csv", "mexico1985-sct.csv",
                             "lomaprieta1989-corralitos.csv", "sanfernando1971-pacoima.csv"}) {
    const figure f = tripartite_figure(record, bundled_spectra(record));
    const std::string svg = render(f);
    const std::vector<svg_text> texts = texts_of(svg);
    const std::vector<polyline> curves = lines_of(svg);
    const area a = plot_area(f, 0);
    const box frame{a.left, a.top, a.left + a.width, a.top + a.height};
    std::size_t labels = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      // Touching is allowed: the estimate is a reader's, not the font's.
      const box inner = texts[i].where.grown(-0.5);
      for (std::size_t j = i + 1; j < texts.size(); ++j) {
        EXPECT_FALSE(inner.overlaps(texts[j].where))
            << record << ": '" << texts[i].content << "' and '" << texts[j].content << "'";
      }
      if (!texts[i].grey_label) continue;
      ++labels;
      if (inner.left < frame.left || inner.right > frame.right || inner.top < frame.top ||
          inner.bottom > frame.bottom)
        continue;
      for (const polyline& c : curves) {
        EXPECT_FALSE(crosses(inner, c)) << record << ": a curve crosses '" << texts[i].content;
      }
    }
    EXPECT_GE(labels, 10u) << record;
  }
}

// Every decade of Sd and PSa whose line crosses the panel is labelled (El Centro's leaves room).
TEST(Figures, TripartiteLabelsEveryDecade) {
  const figure f = tripartite_figure("El Centro", bundled_spectra("elcentro1940-ns-textbook.csv"));
  const double two_pi = 2 * std::numbers::pi, g = 980.665;
  const double t0 = f.panels[0].x.low, t1 = f.panels[0].x.high;
  const double v0 = f.panels[0].y.low, v1 = f.panels[0].y.high;
  std::set<std::string> wanted, labelled;
  for (int e = -6; e <= 6; ++e) {
    const double v = std::pow(10.0, e);
    // PSv = 2 pi Sd / T runs from the lower-left corner to the upper-right one; PSv = PSa g T /
    // (2 pi) from the upper-left to the lower-right.
    if (v > v0 * t0 / two_pi && v < v1 * t1 / two_pi) wanted.insert(std::to_string(e) + " cm");
    if (v > v0 * two_pi / (g * t1) && v < v1 * two_pi / (g * t0)) {
      wanted.insert(std::to_string(e) + " g");
    }
  }
  for (const svg_text& t : texts_of(render(f))) {
    if (!t.grey_label) continue;
    const double e = std::log10(std::stod(t.content));
    if (std::fabs(e - std::round(e)) > 1e-9) continue;
    labelled.insert(std::to_string(static_cast<int>(std::round(e))) +
                    (t.content.ends_with(" cm") ? " cm" : " g"));
  }
  EXPECT_GE(wanted.size(), 8u);
  EXPECT_EQ(labelled, wanted);
}

// A segment meets a box when it passes through it, not when it passes beside it.
TEST(TextBox, SegmentsThroughBoxes) {
  const box b{10, 10, 20, 20};
  struct row {
    double x1, y1, x2, y2;
    bool crosses;
  } rows[] = {
      {0, 15, 30, 15, true},   // straight through
      {15, 0, 15, 12, true},   // ends inside
      {0, 0, 30, 30, true},    // corner to corner
      {0, 9, 30, 9, false},    // above
      {0, 25, 25, 0, true},    // across a corner
      {0, 19, 9, 30, false},   // beside a corner
      {12, 12, 12, 12, true},  // a point inside
  };
  for (const row& r : rows) {
    EXPECT_EQ(crosses(b, r.x1, r.y1, r.x2, r.y2), r.crosses) << r.x1 << "," << r.y1;
  }
}

spectrum_curve curve(std::string component, double damping, double peak, double tail) {
  spectrum_curve c{.component = std::move(component), .damping = damping};
  for (int i = 0; i <= 100; ++i) {
    const double t = 0.02 * std::pow(10.0, i * 2.5 / 100);  // 0.02 to 6.3 s
    c.periods.push_back(t);
    // Rising slowly to `peak` at 0.3 s, then falling to peak * tail at the longest period.
    c.psa.push_back(t < 0.3 ? peak * std::pow(t / 0.3, 0.05)
                            : peak * std::pow(tail, std::log10(t / 0.3) / std::log10(21.0)));
    c.sd.push_back(c.psa.back());
    c.psv.push_back(c.psa.back());
  }
  return c;
}

// PSa from a decade below the smallest value that matters (1% of the peak) to a margin above
// the peak, rounded to 1-2-5; periods over the grid.
TEST(Figures, FittedPsaRange) {
  struct row {
    double tail;   // the smallest value, as a share of the peak
    double floor;  // the smallest value that matters, as a share of the peak
  } rows[] = {{0.5, 0.5}, {0.05, 0.05}, {1e-4, 0.01}};
  for (const row& r : rows) {
    const figure f = spectrum_figure("x", {curve("NS", 0.05, 0.8, r.tail)});
    const axis& y = f.panels[0].y;
    EXPECT_LE(y.low, 0.8 * r.floor / 10 * (1 + 1e-12)) << r.tail;
    EXPECT_GT(y.low, 0.8 * r.floor / 25) << r.tail;
    EXPECT_GE(y.high, 0.8 * 1.1) << r.tail;
    EXPECT_LE(y.high, 0.8 * 2) << r.tail;
    EXPECT_DOUBLE_EQ(f.panels[0].x.low, 0.02);
    EXPECT_NEAR(f.panels[0].x.high, 0.02 * std::pow(10.0, 2.5), 1e-12);
  }
  const figure linear = spectrum_figure("x", {curve("NS", 0.05, 0.8, 0.1)}, spectrum_scale::linear);
  EXPECT_FALSE(linear.panels[0].y.log || linear.panels[0].x.log);
  EXPECT_EQ(linear.panels[0].y.low, 0);
  EXPECT_EQ(linear.panels[0].x.low, 0);
  EXPECT_GE(linear.panels[0].y.high, 0.8 * 1.05);
  EXPECT_LE(linear.panels[0].y.high, 0.8 * 1.5);
}

output_table golden(const char* name) {
  return read_output(file(std::string(TEST_DATA_DIR) + "/golden/" + name)).table;
}

// The quantity and unit of each axis, the record, the oscillator and the dampings, as text.
TEST(Figures, UnitsAndTitles) {
  struct row {
    const char* file;
    std::optional<base::acceleration_unit> units;
    std::vector<std::string> texts;  // each must appear
  } rows[] = {
      {"Ground-Vel.csv", base::acceleration_unit::gal, {"Velocity (cm/s)", "Ground velocity: R"}},
      {"Ground-Vel.csv", base::acceleration_unit::m_per_s2, {"Velocity (m/s)"}},
      {"Ground-Vel.csv", std::nullopt, {"Velocity (record units)"}},
      {"Energy-Density-wave2.csv",
       base::acceleration_unit::gal,
       {"(cm²/s²)", "component 2", "T = 0.5 s, 2% damping"}},
      {"wave.csv",
       base::acceleration_unit::g,
       {"Acc. (g)", "Disp. (cm)", "T = 0.5 s, 2% damping: R"}},
      {"wave.csv", base::acceleration_unit::m_per_s2, {"Acc. (m/s²)", "Disp. (m)"}},
  };
  for (const row& r : rows) {
    const std::string svg = render(history_figure(
        golden(r.file),
        {.file = r.file, .record = "R", .units = r.units, .period = 0.5, .damping = 0.02}));
    for (const std::string& text : r.texts) {
      EXPECT_NE(svg.find(text), std::string::npos) << r.file << ": " << text;
    }
  }
  const std::vector<spectrum_curve> curves = {curve("NS", 0.02, 0.8, 0.1),
                                              curve("NS", 0.05, 0.6, 0.1)};
  const std::string spectrum = render(spectrum_figure("El Centro, NS", curves));
  for (const char* text : {"Response spectrum: El Centro, NS", "Period T (s)", "PSa (g)", ">2%<",
                           ">5%<", "NS: 0.600 g at 0.30 s"}) {
    EXPECT_NE(spectrum.find(text), std::string::npos) << text;
  }
  const std::string tripartite = render(tripartite_figure("El Centro, NS", curves));
  for (const char* text : {"Tripartite spectrum: El Centro, NS", "PSv (cm/s)", "Sd (cm)"}) {
    EXPECT_NE(tripartite.find(text), std::string::npos) << text;
  }
}

// With the record in g, velocities, displacements and energies are in cm: g times 980.665.
TEST(Figures, RecordInGReadsInCentimetres) {
  const output_table t = golden("Ground-Vel.csv");
  double peak = 0, at = 0;
  for (std::size_t i = 0; i < t.columns[1].size(); ++i) {
    if (std::fabs(t.columns[1][i]) > std::fabs(peak)) {
      peak = t.columns[1][i];
      at = t.columns[0][i];
    }
  }
  const std::string svg =
      render(history_figure(t, {.file = "Ground-Vel.csv", .units = base::acceleration_unit::g}));
  char expected[64];
  std::snprintf(expected, sizeof expected, "PGV %s cm/s at %.2f s",
                value_text(peak * 980.665).c_str(), at);
  EXPECT_NE(svg.find(expected), std::string::npos) << expected;
}

// A component that is zero throughout has no panel and no legend entry; a note names it.
TEST(Figures, ZeroComponentsLeftOut) {
  output_table velocities = golden("Ground-Vel.csv");
  std::fill(velocities.columns[2].begin(), velocities.columns[2].end(), 0.0);
  const figure ground = history_figure(velocities, {.file = "Ground-Vel.csv"});
  EXPECT_EQ(ground.panels.size(), 2u);
  EXPECT_NE(render(ground).find("component 2 is zero throughout: left out"), std::string::npos);

  spectrum_curve zero = curve("UD", 0.05, 0.5, 0.1);
  std::fill(zero.psa.begin(), zero.psa.end(), 0.0);
  std::fill(zero.sd.begin(), zero.sd.end(), 0.0);
  for (const figure& f : {spectrum_figure("r", {curve("NS", 0.05, 0.5, 0.1), zero}),
                          tripartite_figure("r", {curve("NS", 0.05, 0.5, 0.1), zero})}) {
    const std::string svg = render(f);
    EXPECT_EQ(svg.find(">UD<"), std::string::npos);
    EXPECT_EQ(f.panels[0].lines.size(), 1u);
    EXPECT_NE(svg.find("UD is zero throughout: left out"), std::string::npos);
  }

  record_histories r{.title = "r", .dt = 0.01};
  r.components.push_back({.name = "NS",
                          .acceleration = {0, 0.1, -0.2, 0},
                          .velocity = {0, 1, 0, 0},
                          .displacement = {0, 0, 1, 0},
                          .husid = {0, 0.2, 1, 1}});
  r.components.push_back({.name = "UD",
                          .acceleration = {0, 0, 0, 0},
                          .velocity = {0, 0, 0, 0},
                          .displacement = {0, 0, 0, 0},
                          .husid = {0, 0, 0, 0}});
  const figure record = record_figure(r);
  EXPECT_EQ(record.panels.size(), 4u);  // acceleration, velocity, displacement, Husid
  EXPECT_NE(render(record).find("UD is zero throughout: left out"), std::string::npos);
}

// The peaks with value and time; the Husid crossings, linear between samples, and durations.
TEST(Figures, RecordPeaksAndDurations) {
  record_histories r{.title = "Station X, HNE", .dt = 0.01};
  record_trace c{.name = "HNE"};
  for (int i = 0; i < 100; ++i) {
    c.acceleration.push_back(i == 37 ? -0.5 : 0.01 * std::sin(i));
    c.velocity.push_back(i == 60 ? 12.5 : 0.0);
    c.displacement.push_back(i == 80 ? -3.25 : 0.0);
    c.husid.push_back(i / 99.0);  // 5% at 4.95 samples, 75% at 74.25, 95% at 94.05
  }
  r.components.push_back(c);
  const std::string svg = render(record_figure(r));
  for (const char* text :
       {"PGA -0.500 g at 0.37 s", "PGV 12.5 cm/s at 0.60 s", "PGD -3.25 cm at 0.80 s",
        "D5-75 0.69 s", "D5-95 0.89 s", "from 0.05 s", "Record: Station X, HNE", "Acc. (g)",
        "Vel. (cm/s)", "Disp. (cm)", "Arias intensity (%)"}) {
    EXPECT_NE(svg.find(text), std::string::npos) << text;
  }
}

// Pictures inlined in one page name their clips apart, and each names its own.
TEST(Figures, ClipsNamedApartInOnePage) {
  const std::vector<spectrum_curve> curves = {curve("NS", 0.05, 0.8, 0.1)};
  std::set<std::string> seen;
  for (const std::string& svg :
       {render(spectrum_figure("r", curves)), render(tripartite_figure("r", curves))}) {
    const std::regex id(R"re(<clipPath id="([^"]+)")re");
    std::set<std::string> own;
    for (std::sregex_iterator i(svg.begin(), svg.end(), id), end; i != end; ++i) {
      own.insert((*i)[1]);
      EXPECT_TRUE(seen.insert((*i)[1]).second) << (*i)[1];
    }
    const std::regex use(R"re(clip-path="url\(#([^)]+)\)")re");
    for (std::sregex_iterator i(svg.begin(), svg.end(), use), end; i != end; ++i) {
      EXPECT_TRUE(own.contains((*i)[1])) << (*i)[1];
    }
    EXPECT_FALSE(own.empty());
  }
}

// Every kind of picture parses as XML and renders.
TEST(Figures, EveryKindParsesAndRenders) {
  if (shell("command -v rsvg-convert >/dev/null 2>&1") != 0 ||
      shell("command -v xmllint >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "rsvg-convert (librsvg2-bin) or xmllint (libxml2-utils) is missing";
  }
  const std::vector<spectrum_curve> curves = bundled_spectra("mexico1985-sct.csv");
  record_histories r{.title = "<a & b>", .dt = 0.02};
  r.components.push_back({.name = "NS",
                          .acceleration = {0, 0.1, -0.2, 0.05, 0},
                          .velocity = {0, 1, 0, -1, 0},
                          .displacement = {0, 0, 1, 0, 0},
                          .husid = {0, 0.1, 0.8, 1, 1}});
  const std::pair<const char*, figure> pictures[] = {
      {"spectrum", spectrum_figure("a", curves)},
      {"linear", spectrum_figure("a", curves, spectrum_scale::linear)},
      {"tripartite", tripartite_figure("a", curves)},
      {"record", record_figure(r)},
      {"energy", history_figure(golden("Energy-Density-wave1.csv"), {.file = "E"})},
      {"response", history_figure(golden("wave.csv"), {.file = "w", .damping = 0.05})},
  };
  temp_folder folder;
  for (const auto& [name, f] : pictures) {
    const std::string svg = (folder / (std::string(name) + ".svg")).string();
    std::ofstream(svg) << render(f);
    EXPECT_EQ(shell("xmllint --noout " + svg), 0) << name;
    EXPECT_EQ(shell("rsvg-convert " + svg + " -o " + svg + ".png"), 0) << name;
  }
}

// sdofplot's options: the unit, the oscillator and the record into the titles; wrong values
// refused as usage errors.
TEST(Figures, SdofplotOptions) {
  temp_folder folder;
  const std::string input = std::string(TEST_DATA_DIR) + "/golden/wave.csv";
  const std::string out = (folder / "w.svg").string();
  const std::string program = std::string(SDOFPLOT_EXECUTABLE) + " -o " + out + " ";
  ASSERT_EQ(shell(program + "--units gal --period 0.5 --damping 0.05 --record 'Array 9' " + input),
            0);
  const std::string svg = folder.read("w.svg");
  EXPECT_NE(svg.find("Oscillator response, T = 0.5 s, 5% damping: Array 9"), std::string::npos);
  EXPECT_NE(svg.find("Acc. (cm/s²)"), std::string::npos);
  for (const char* wrong : {"--units furlong", "--period 0", "--period -1", "--period x",
                            "--damping 1", "--damping 5", "--damping -0.1"}) {
    EXPECT_EQ(shell(program + wrong + " " + input + " 2>/dev/null"), 2) << wrong;
  }
}

}  // namespace
}  // namespace plot
