// Charts as data: panels of lines and filled areas over linear or logarithmic axes, rendered
// to SVG with grids, ticks, axis titles, a legend beside the panels (never over the data) and a
// title. Long series are reduced per pixel column before they are drawn.
#pragma once

#include <cmath>
#include <string>
#include <vector>

namespace plot {

// Okabe and Ito's colours: told apart by readers with any common colour-vision deficiency.
inline constexpr const char* palette[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                          "#E69F00", "#56B4E9", "#000000", "#999999"};
inline const char* colour(std::size_t i) {
  return palette[i % (sizeof palette / sizeof palette[0])];
}

struct line_series {
  std::string label;
  std::vector<double> x, y;  // a not-a-number y is a gap
  std::string colour = "#0072B2";
  double width = 1.6;
  bool dashed = false;
};

// The area between two curves, filled. The areas of a panel are reduced at the same points,
// chosen on the first one's upper curve: put the top of a stack first.
struct area_series {
  std::string label;
  std::vector<double> x, lower, upper;
  std::string colour = "#56B4E9";
};

// A straight line in data coordinates, labelled where it leaves the panel (the constant-Sd
// and constant-PSa lines of a tripartite plot).
struct guide {
  double x1, y1, x2, y2;
  std::string label;
};

struct axis {
  std::string title;
  bool log = false;
  double low = NAN, high = NAN;  // from the data where not set
};

struct panel {
  std::string title;  // above the panel
  axis x, y;
  std::vector<area_series> areas;
  std::vector<line_series> lines;
  std::vector<guide> guides;
  std::string note;  // under the panel, at the right
};

struct figure {
  std::string title;
  std::vector<panel> panels;  // top to bottom
  double width = 860;
  double panel_height = 230;
  bool shared_x = false;  // one x range; tick labels and title under the last panel only
};

std::string render(const figure& f);

// The plot area of panel i of a rendered figure, in pixels: for tests that look at pixels.
struct area {
  double left, top, width, height;
};
area plot_area(const figure& f, std::size_t panel);
// The x pixel of a data value on panel i's axis.
double x_pixel(const figure& f, std::size_t panel, double value);

}  // namespace plot
