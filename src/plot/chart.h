// Charts as data: panels of lines and filled areas over linear or logarithmic axes, rendered
// to SVG with grids, ticks, axis titles, a legend beside the panels (never over the data) and a
// title. Long series are reduced per pixel column before they are drawn. Labels that go beside
// a point or a line (peaks, the diagonals of a tripartite plot) are placed where they cover
// neither another text nor a curve, or left out.
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
  std::string dash;  // an SVG dash pattern ("7,4"); empty: solid
};

// The area between two curves, filled. The areas of a panel are reduced at the same points,
// chosen on the first one's upper curve: put the top of a stack first.
struct area_series {
  std::string label;
  std::vector<double> x, lower, upper;
  std::string colour = "#56B4E9";
};

// A straight line in data coordinates, labelled where it meets the frame (the constant-Sd
// and constant-PSa lines of a tripartite plot): outside the frame on the top and right edges,
// inside on the others. Minor guides are lighter and labelled only where room is left.
struct guide {
  double x1, y1, x2, y2;
  std::string label;
  bool minor = false;
};

// A point marked with a circle, its label beside it.
struct mark {
  double x, y;
  std::string label;
  std::string colour = "#000000";
};

struct legend_entry {
  enum kind_t { line, area, marker, heading, text };
  std::string label;
  kind_t kind = line;
  std::string colour = "#000000";
  double width = 1.6;
  std::string dash;
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
  std::vector<mark> marks;
  std::vector<legend_entry> legend;  // beside the panel; from the labelled series when empty
  bool legend_inside = false;        // in the corner of the plot where it covers the least
  std::string note;                  // under the panel, at the right
  double height = NAN;               // of the plot area; the figure's panel_height where not set
};

struct figure {
  std::string title;               // wrapped where it is wider than the figure
  std::string subtitle;            // under the title, smaller
  std::vector<panel> panels;       // top to bottom
  std::vector<std::string> notes;  // under the panels, one a line
  double width = 800;
  double panel_height = 230;
  bool shared_x = false;  // one x range; tick labels and title under the last panel only
};

std::string render(const figure& f);

// The plot area of panel i of a rendered figure, in pixels: for tests that look at pixels.
struct area {
  double left, top, width, height;
};
area plot_area(const figure& f, std::size_t panel);
// The pixel of a data value on panel i's axes.
double x_pixel(const figure& f, std::size_t panel, double value);
double y_pixel(const figure& f, std::size_t panel, double value);

// Font sizes: a figure 800 wide printed across A4 (180 mm) puts 13 pixels at about 8 points.
namespace font {
inline constexpr double title = 17, subtitle = 13.5, panel_title = 13.5, tick = 13, minor_tick = 12,
                        axis_title = 14, legend = 12.5, label = 12, guide = 11.5, note = 12.5;
}

}  // namespace plot
