#include "plot/chart.h"

#include <algorithm>
#include <limits>

#include "plot/reduce.h"
#include "plot/scale.h"
#include "plot/svg.h"

namespace plot {
namespace {

constexpr double left_margin = 86;
constexpr double legend_width = 200;
constexpr double title_height = 44;
constexpr double panel_title_height = 22;
constexpr double tick_labels_height = 20;
constexpr double axis_title_height = 24;
constexpr double gap = 16;
constexpr double bottom_margin = 12;
constexpr const char* text_style = "font-size=\"13\" fill=\"#000000\"";
constexpr const char* small_text = "font-size=\"11.5\" fill=\"#333333\"";

bool usable(double v, bool log) {
  return std::isfinite(v) && (!log || v > 0);
}

struct bounds {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void add(double v, bool log) {
    if (!usable(v, log)) return;
    low = std::min(low, v);
    high = std::max(high, v);
  }
};

range axis_range(const axis& a, bounds b) {
  if (!std::isnan(a.low) && !std::isnan(a.high)) return {a.low, a.high};
  if (!std::isnan(a.low)) b.low = a.low;
  if (!std::isnan(a.high)) b.high = a.high;
  if (!(b.low <= b.high)) return a.log ? range{1, 10} : range{0, 1};
  range r = nice_range(b.low, b.high, a.log);
  if (!std::isnan(a.low)) r.low = a.low;
  if (!std::isnan(a.high)) r.high = a.high;
  return r;
}

struct panel_layout {
  area plot;
  range x, y;
  bool x_labels;
};

std::vector<panel_layout> lay_out(const figure& f) {
  std::vector<panel_layout> out;
  bounds shared;
  for (const panel& p : f.panels) {
    for (const line_series& s : p.lines) {
      for (double v : s.x) shared.add(v, p.x.log);
    }
    for (const area_series& s : p.areas) {
      for (double v : s.x) shared.add(v, p.x.log);
    }
  }
  double top = title_height;
  for (std::size_t i = 0; i < f.panels.size(); ++i) {
    const panel& p = f.panels[i];
    bounds x = shared, y;
    if (!f.shared_x) {
      x = bounds();
      for (const line_series& s : p.lines) {
        for (double v : s.x) x.add(v, p.x.log);
      }
      for (const area_series& s : p.areas) {
        for (double v : s.x) x.add(v, p.x.log);
      }
    }
    for (const line_series& s : p.lines) {
      for (double v : s.y) y.add(v, p.y.log);
    }
    for (const area_series& s : p.areas) {
      for (double v : s.lower) y.add(v, p.y.log);
      for (double v : s.upper) y.add(v, p.y.log);
    }
    if (!p.title.empty()) top += panel_title_height;
    const bool labels = !f.shared_x || i + 1 == f.panels.size();
    panel_layout l;
    l.plot = {left_margin, top, f.width - left_margin - legend_width, f.panel_height};
    l.x = axis_range(p.x, x);
    l.y = axis_range(p.y, y);
    l.x_labels = labels;
    out.push_back(l);
    top += f.panel_height + (labels ? tick_labels_height + axis_title_height : 6) + gap;
  }
  return out;
}

double figure_height(const figure& f, const std::vector<panel_layout>& layout) {
  if (layout.empty()) return title_height + bottom_margin;
  const panel_layout& last = layout.back();
  return last.plot.top + last.plot.height + tick_labels_height + axis_title_height + bottom_margin +
         (f.panels.back().note.empty() ? 0 : 16);
}

// The path of a line: moves over gaps, and over values a log axis cannot show.
std::string line_path(const points& p, const scale& sx, const scale& sy) {
  std::string d;
  bool pen_down = false;
  for (std::size_t i = 0; i < p.x.size(); ++i) {
    if (!usable(p.y[i], sy.logarithmic()) || !usable(p.x[i], sx.logarithmic())) {
      pen_down = false;
      continue;
    }
    d += pen_down ? 'L' : 'M';
    d += svg::number(sx(p.x[i])) + ',' + svg::number(sy(p.y[i]));
    pen_down = true;
  }
  return d;
}

void draw_panel(svg& out, const panel& p, const panel_layout& l) {
  const area& a = l.plot;
  const scale sx(l.x.low, l.x.high, a.left, a.left + a.width, p.x.log);
  const scale sy(l.y.low, l.y.high, a.top + a.height, a.top, p.y.log);
  if (!p.title.empty()) {
    out.text(a.left, a.top - 7, p.title, "font-size=\"13\" font-weight=\"bold\" fill=\"#000000\"");
  }
  // Grid under everything.
  for (const tick& t : sx.ticks(70)) {
    const double x = sx(t.value);
    out.line(x, a.top, x, a.top + a.height,
             t.major ? "stroke=\"#d9d9d9\" stroke-width=\"1\""
                     : "stroke=\"#eeeeee\" stroke-width=\"1\"");
  }
  for (const tick& t : sy.ticks(34)) {
    const double y = sy(t.value);
    out.line(a.left, y, a.left + a.width, y,
             t.major ? "stroke=\"#d9d9d9\" stroke-width=\"1\""
                     : "stroke=\"#eeeeee\" stroke-width=\"1\"");
  }
  if (!p.y.log && l.y.low < 0 && l.y.high > 0) {
    out.line(a.left, sy(0), a.left + a.width, sy(0), "stroke=\"#888888\" stroke-width=\"1\"");
  }

  out.begin_clip(a.left, a.top, a.width, a.height);
  const int columns = static_cast<int>(a.width);
  // All areas at the points chosen on the first one's upper curve: a stack stays a stack.
  std::vector<std::size_t> kept;
  if (!p.areas.empty()) {
    kept = reduced_indices(p.areas[0].x, p.areas[0].upper, l.x.low, l.x.high, columns);
  }
  for (const area_series& s : p.areas) {
    std::string d;
    for (std::size_t i : kept) {
      if (i >= s.x.size() || !usable(s.upper[i], p.y.log) || !usable(s.x[i], p.x.log)) continue;
      d += d.empty() ? 'M' : 'L';
      d += svg::number(sx(s.x[i])) + ',' + svg::number(sy(s.upper[i]));
    }
    for (std::size_t k = kept.size(); k-- > 0;) {
      const std::size_t i = kept[k];
      if (i >= s.x.size() || !usable(s.lower[i], p.y.log) || !usable(s.x[i], p.x.log)) continue;
      d += 'L' + svg::number(sx(s.x[i])) + ',' + svg::number(sy(s.lower[i]));
    }
    if (!d.empty()) d += 'Z';
    out.path(d, "fill=\"" + s.colour + "\" fill-opacity=\"0.55\" stroke=\"none\"");
  }
  for (const guide& g : p.guides) {
    out.line(sx(g.x1), sy(g.y1), sx(g.x2), sy(g.y2),
             "stroke=\"#9a9a9a\" stroke-width=\"0.8\" stroke-dasharray=\"4,3\"");
  }
  for (const line_series& s : p.lines) {
    const points r = reduce(s.x, s.y, l.x.low, l.x.high, columns);
    std::string style = "fill=\"none\" stroke=\"" + s.colour + "\" stroke-width=\"" +
                        svg::number(s.width) + "\" stroke-linejoin=\"round\"";
    if (s.dashed) style += " stroke-dasharray=\"7,4\"";
    out.path(line_path(r, sx, sy), style);
  }
  out.end_clip();

  // Guide labels where the guides leave the panel on the left or the bottom.
  for (const guide& g : p.guides) {
    if (g.label.empty()) continue;
    const double x1 = sx(g.x1), y1 = sy(g.y1), x2 = sx(g.x2), y2 = sy(g.y2);
    // The point of the guide at the panel's top edge or right edge, whichever comes first.
    double t = 1;
    if (y2 < a.top && y2 != y1) t = std::min(t, (a.top - y1) / (y2 - y1));
    if (y2 > a.top + a.height && y2 != y1) t = std::min(t, (a.top + a.height - y1) / (y2 - y1));
    if (x2 > a.left + a.width && x2 != x1) t = std::min(t, (a.left + a.width - x1) / (x2 - x1));
    const double x = x1 + t * (x2 - x1), y = y1 + t * (y2 - y1);
    if (x < a.left || x > a.left + a.width || y < a.top - 1 || y > a.top + a.height + 1) continue;
    out.text(x - 2, y + (y2 < y1 ? 11 : -3), g.label, "font-size=\"10\" fill=\"#666666\"", "end");
  }

  out.rect(a.left, a.top, a.width, a.height, "fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"");
  for (const tick& t : sx.ticks(70)) {
    const double x = sx(t.value);
    out.line(x, a.top + a.height, x, a.top + a.height + (t.major ? 5 : 3),
             "stroke=\"#000000\" stroke-width=\"1\"");
    if (t.labelled && l.x_labels) {
      out.text(x, a.top + a.height + 17, tick_label(t.value), t.major ? text_style : small_text,
               "middle");
    }
  }
  for (const tick& t : sy.ticks(34)) {
    const double y = sy(t.value);
    out.line(a.left - (t.major ? 5 : 3), y, a.left, y, "stroke=\"#000000\" stroke-width=\"1\"");
    if (t.labelled) {
      out.text(a.left - 8, y + 4.5, tick_label(t.value), t.major ? text_style : small_text, "end");
    }
  }
  if (l.x_labels) {
    out.text(a.left + a.width / 2, a.top + a.height + tick_labels_height + 18, p.x.title,
             text_style, "middle");
  }
  out.text(a.left - 62, a.top + a.height / 2, p.y.title, text_style, "middle", -90);
  if (!p.note.empty()) {
    out.text(a.left + a.width, a.top + a.height + tick_labels_height + axis_title_height + 12,
             p.note, "font-size=\"11.5\" fill=\"#b00000\"", "end");
  }

  // The legend, beside the panel.
  double y = a.top + 14;
  const double x = a.left + a.width + 14;
  for (const area_series& s : p.areas) {
    out.rect(x, y - 9, 18, 11, "fill=\"" + s.colour + "\" fill-opacity=\"0.55\"");
    out.text(x + 24, y, s.label, small_text);
    y += 18;
  }
  for (const line_series& s : p.lines) {
    if (s.label.empty()) continue;
    std::string style = "stroke=\"" + s.colour + "\" stroke-width=\"" + svg::number(s.width) + "\"";
    if (s.dashed) style += " stroke-dasharray=\"7,4\"";
    out.line(x, y - 4, x + 18, y - 4, style);
    out.text(x + 24, y, s.label, small_text);
    y += 18;
  }
}

}  // namespace

std::string render(const figure& f) {
  const std::vector<panel_layout> layout = lay_out(f);
  svg out(f.width, figure_height(f, layout), f.title);
  out.text(left_margin, 26, f.title, "font-size=\"16\" font-weight=\"bold\" fill=\"#000000\"");
  for (std::size_t i = 0; i < f.panels.size(); ++i) draw_panel(out, f.panels[i], layout[i]);
  return out.finish();
}

area plot_area(const figure& f, std::size_t panel) {
  return lay_out(f)[panel].plot;
}

double x_pixel(const figure& f, std::size_t panel, double value) {
  const panel_layout l = lay_out(f)[panel];
  const scale sx(l.x.low, l.x.high, l.plot.left, l.plot.left + l.plot.width, f.panels[panel].x.log);
  return sx(value);
}

}  // namespace plot
