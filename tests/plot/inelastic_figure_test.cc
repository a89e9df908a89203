#include "plot/inelastic_figure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace plot {
namespace {

// A curve per ductility in each panel over the shared period axis, each axis named with its
// quantity and unit; a ductility not reached at a period is a gap, never a value.
TEST(InelasticFigure, OneCurvePerDuctilityEachAxisWithItsUnit) {
  const ductility_curve two{2, {0.1, 1, 3}, {1.5, 2.1, 2}, {1.4, 0.95, 1}};
  const ductility_curve four{4, {0.1, 1, 3}, {NAN, 4.2, 4}, {NAN, 0.95, 1}};
  const figure f = inelastic_figure("El Centro NS", "5% damping, elastoplastic", {two, four});
  ASSERT_EQ(f.panels.size(), 2u);
  ASSERT_EQ(f.panels[0].lines.size(), 2u);
  ASSERT_EQ(f.panels[1].lines.size(), 3u);  // and the line C_μ = 1
  EXPECT_EQ(f.panels[1].lines[1].label, "μ = 4");
  EXPECT_TRUE(std::isnan(f.panels[0].lines[1].y[0]));
  const std::string svg = render(f);
  for (const char* text : {"Period T (s)", "R_μ = f_0 / f_y (-)", "C_μ = u_m / u_0 (-)", "μ = 2",
                           "El Centro NS (5% damping, elastoplastic)"}) {
    EXPECT_NE(svg.find(text), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace plot
