#include "plot/chart.h"

#include <algorithm>
#include <limits>

#include "plot/reduce.h"
#include "plot/scale.h"
#include "plot/svg.h"
#include "plot/text_box.h"

namespace plot {
namespace {

constexpr double side_padding = 16;
constexpr double title_line = 22;
constexpr double subtitle_line = 18;
constexpr double panel_title_height = 22;
constexpr double guide_row = 18;  // above a panel with labelled guides, for their labels
constexpr double tick_labels_height = 21;
constexpr double axis_title_height = 25;
constexpr double gap = 18;
constexpr double note_line = 18;
constexpr double bottom_margin = 12;
constexpr double legend_line = 18;
constexpr double legend_swatch = 22;
constexpr double legend_gap = 14;  // between the plot (or the guide labels) and the legend
constexpr double most_legend_width = 250;
constexpr double x_label_spacing = 80, y_label_spacing = 36;

std::string text_style(double size, std::string_view fill, bool bold = false) {
  std::string s = "font-size=\"" + svg::number(size) + "\"";
  if (bold) s += " font-weight=\"bold\"";
  return s + " fill=\"" + std::string(fill) + "\"";
}

// A white outline under a text drawn over the grid: it stays legible over thin lines.
std::string haloed(std::string style) {
  return style + " stroke=\"#ffffff\" stroke-width=\"3\" paint-order=\"stroke\"";
}

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

// Words to lines no wider than width.
std::vector<std::string> wrap(const std::string& text, double size, bool bold, double width) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    const std::string longer = line.empty() ? word : line + ' ' + word;
    if (!line.empty() && text_width(longer, size, bold) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = longer;
    }
    start = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::vector<legend_entry> legend_of(const panel& p) {
  if (!p.legend.empty()) return p.legend;
  std::vector<legend_entry> out;
  for (const area_series& s : p.areas) {
    if (!s.label.empty())
      out.push_back({.label = s.label, .kind = legend_entry::area, .colour = s.colour});
  }
  for (const line_series& s : p.lines) {
    if (!s.label.empty()) {
      out.push_back({.label = s.label, .colour = s.colour, .width = s.width, .dash = s.dash});
    }
  }
  return out;
}

double legend_height(const std::vector<legend_entry>& entries) {
  double h = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    h += legend_line + (entries[i].kind == legend_entry::heading && i > 0 ? 6 : 0);
  }
  return h;
}

double entry_width(const legend_entry& e) {
  switch (e.kind) {
    case legend_entry::heading:
      return text_width(e.label, font::legend, true);
    case legend_entry::text:
      return text_width(e.label, font::legend);
    default:
      return legend_swatch + 6 + text_width(e.label, font::legend);
  }
}

double legend_width_of(const std::vector<legend_entry>& entries) {
  double w = 0;
  for (const legend_entry& e : entries) w = std::max(w, entry_width(e));
  return std::min(w, most_legend_width);
}

// The text cut with an ellipsis to fit a width.
std::string fitted(std::string text, double size, bool bold, double width) {
  if (text_width(text, size, bold) <= width) return text;
  while (!text.empty() && text_width(text + "...", size, bold) > width) {
    text.pop_back();
    // Not in the middle of a character of several bytes.
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
      text.pop_back();
    if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) text.pop_back();
  }
  return text + "...";
}

bool labelled_guides(const panel& p) {
  return std::any_of(p.guides.begin(), p.guides.end(),
                     [](const guide& g) { return !g.label.empty(); });
}

double height_of(const figure& f, const panel& p) {
  return std::isnan(p.height) ? f.panel_height : p.height;
}

struct panel_layout {
  area plot;
  range x, y;
  bool x_labels;
};

struct layout {
  std::vector<std::string> title, subtitle;
  double left = 0, guide_width = 0, legend_width = 0;
  std::vector<panel_layout> panels;
  double notes_top = 0, height = 0;
};

layout lay_out(const figure& f) {
  layout out;
  out.title = wrap(f.title, font::title, true, f.width - 2 * side_padding);
  out.subtitle = wrap(f.subtitle, font::subtitle, false, f.width - 2 * side_padding);
  bounds shared;
  for (const panel& p : f.panels) {
    for (const line_series& s : p.lines) {
      for (double v : s.x) shared.add(v, p.x.log);
    }
    for (const area_series& s : p.areas) {
      for (double v : s.x) shared.add(v, p.x.log);
    }
  }
  // The ranges first: the widest tick label sets the left margin.
  double widest_tick = 0;
  for (const panel& p : f.panels) {
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
    panel_layout l;
    l.x = axis_range(p.x, x);
    l.y = axis_range(p.y, y);
    out.panels.push_back(l);
    const scale sy(l.y.low, l.y.high, height_of(f, p), 0, p.y.log);
    for (const tick& t : sy.ticks(y_label_spacing)) {
      if (t.labelled)
        widest_tick = std::max(widest_tick, text_width(tick_label(t.value), font::tick));
    }
  }
  out.left = side_padding + font::axis_title + 12 + widest_tick + 8;
  for (const panel& p : f.panels) {
    if (!p.legend_inside)
      out.legend_width = std::max(out.legend_width, legend_width_of(legend_of(p)));
    if (labelled_guides(p)) {
      for (const guide& g : p.guides) {
        out.guide_width = std::max(out.guide_width, text_width(g.label, font::guide) + 8);
      }
    }
  }
  out.legend_width = out.legend_width > 0 ? out.legend_width + legend_gap + 10 : side_padding;

  double top = 14 + title_line * static_cast<double>(out.title.size()) +
               subtitle_line * static_cast<double>(out.subtitle.size()) + 10;
  for (std::size_t i = 0; i < f.panels.size(); ++i) {
    const panel& p = f.panels[i];
    panel_layout& l = out.panels[i];
    if (!p.title.empty()) top += panel_title_height;
    if (labelled_guides(p)) top += guide_row;
    l.x_labels = !f.shared_x || i + 1 == f.panels.size();
    l.plot = {out.left, top, f.width - out.left - out.guide_width - out.legend_width,
              height_of(f, p)};
    const double slot =
        p.legend_inside ? l.plot.height : std::max(l.plot.height, legend_height(legend_of(p)));
    top += slot + (l.x_labels ? tick_labels_height + axis_title_height + gap : 10) +
           (p.note.empty() ? 0 : note_line);
  }
  out.notes_top = top + 4 - gap;
  out.height = out.notes_top + note_line * static_cast<double>(f.notes.size()) + bottom_margin;
  return out;
}

// Where labels may go: texts already placed, the curves in pixels, and the plot areas (which
// a label outside its frame must not enter).
struct placer {
  std::vector<box> texts;
  std::vector<polyline> curves;
  std::vector<box> plots;
  box figure_box;

  bool free(const box& b, bool inside, double padding) const {
    if (b.left < figure_box.left || b.right > figure_box.right || b.top < figure_box.top ||
        b.bottom > figure_box.bottom)
      return false;
    const box padded = b.grown(padding);
    for (const box& t : texts) {
      if (padded.overlaps(t)) return false;
    }
    if (inside) {
      const box near = b.grown(1.5);
      for (const polyline& c : curves) {
        if (crosses(near, c)) return false;
      }
    } else {
      for (const box& p : plots) {
        if (b.overlaps(p)) return false;
      }
    }
    return true;
  }
};

// A text and where it may go, best first; placed after everything else, or left out.
struct candidate {
  double x, y;
  const char* anchor;
  bool inside;  // inside a plot area: it must avoid the curves and stay within
};
struct pending_label {
  int priority;  // lower first
  std::string text;
  double size;
  std::string style;
  box within;  // of an inside candidate
  std::vector<candidate> candidates;
  double point_x = NAN, point_y = NAN;  // a marked point: a label away from it gets a leader
  double padding = 2;                   // the least room between it and another text
};

// The path of a line: moves over gaps, and over values a log axis cannot show.
std::string line_path(const points& p, const scale& sx, const scale& sy, polyline& pixels) {
  std::string d;
  bool pen_down = false;
  for (std::size_t i = 0; i < p.x.size(); ++i) {
    if (!usable(p.y[i], sy.logarithmic()) || !usable(p.x[i], sx.logarithmic())) {
      pen_down = false;
      pixels.x.push_back(NAN);
      pixels.y.push_back(NAN);
      continue;
    }
    const double x = sx(p.x[i]), y = sy(p.y[i]);
    d += pen_down ? 'L' : 'M';
    d += svg::number(x) + ',' + svg::number(y);
    pixels.x.push_back(x);
    pixels.y.push_back(y);
    pen_down = true;
  }
  return d;
}

std::string dash_style(const std::string& dash) {
  return dash.empty() ? "" : " stroke-dasharray=\"" + dash + "\"";
}

// Where a guide meets the frame, the places for its label: outside on the top and right
// edges, then inside along each edge, on the side away from the line.
std::vector<candidate> guide_candidates(const area& a, double x1, double y1, double x2, double y2,
                                        double size, bool along) {
  std::vector<candidate> outside, inside;
  const double right = a.left + a.width, bottom = a.top + a.height;
  const double dx = x2 - x1, dy = y2 - y1;
  const auto on_edge = [](double v, double low, double high) {
    return v >= low - 0.5 && v <= high + 0.5;
  };
  // Going right, the line rises (up-right) when dy < 0 in pixels.
  const bool rising = dx * dy < 0;
  if (dy != 0) {
    for (const double edge_y : {a.top, bottom}) {
      const double t = (edge_y - y1) / dy;
      const double x = x1 + t * dx;
      if (t < 0 || t > 1 || !on_edge(x, a.left, right)) continue;
      if (edge_y == a.top) {
        outside.push_back({x, a.top - 5, "middle", false});
        outside.push_back({x - 3, a.top - 5, "end", false});
        outside.push_back({x + 3, a.top - 5, "start", false});
        // Inside, under the edge, on the side away from where the line goes down.
        inside.push_back(rising ? candidate{x + 3, a.top + size + 2, "start", true}
                                : candidate{x - 3, a.top + size + 2, "end", true});
      } else {
        inside.push_back(rising ? candidate{x - 3, bottom - 4, "end", true}
                                : candidate{x + 3, bottom - 4, "start", true});
      }
    }
  }
  if (dx != 0) {
    for (const double edge_x : {a.left, right}) {
      const double t = (edge_x - x1) / dx;
      const double y = y1 + t * dy;
      if (t < 0 || t > 1 || !on_edge(y, a.top, bottom)) continue;
      if (edge_x == right) {
        outside.push_back({right + 4, y + 0.35 * size, "start", false});
        outside.push_back({right + 4, y - 0.3 * size, "start", false});
        outside.push_back({right + 4, y + size, "start", false});
        inside.push_back(rising ? candidate{right - 4, y + size + 1, "end", true}
                                : candidate{right - 4, y - 4, "end", true});
      } else {
        inside.push_back(rising ? candidate{a.left + 4, y + size + 1, "start", true}
                                : candidate{a.left + 4, y - 4, "start", true});
      }
    }
  }
  outside.insert(outside.end(), inside.begin(), inside.end());
  // Where the frame has no room, anywhere along the line inside, beside it: above a falling
  // line, below a rising one.
  const double length = std::hypot(dx, dy);
  if (along && length > 0) {
    for (double s = 0; s <= length; s += 12) {
      const double x = x1 + dx * s / length, y = y1 + dy * s / length;
      if (x < a.left || x > right || y < a.top || y > bottom) continue;
      outside.push_back(rising ? candidate{x + 3, y + 3 + 0.93 * size, "start", true}
                               : candidate{x + 3, y - 4, "start", true});
    }
  }
  return outside;
}

std::vector<candidate> mark_candidates(const area& a, double x, double y, double size) {
  std::vector<candidate> out;
  for (const double d : {7.0, 16.0}) {
    out.push_back({x, y - d, "middle", true});
    out.push_back({x, y + d + 0.8 * size, "middle", true});
    out.push_back({x + d, y + 0.35 * size, "start", true});
    out.push_back({x - d, y + 0.35 * size, "end", true});
    out.push_back({x + d - 2, y - d + 1, "start", true});
    out.push_back({x - d + 2, y - d + 1, "end", true});
    out.push_back({x + d - 2, y + d + 0.7 * size, "start", true});
    out.push_back({x - d + 2, y + d + 0.7 * size, "end", true});
  }
  // Then along the top and bottom edges, nearest first: a label far from its point names
  // what it marks.
  std::vector<candidate> edges;
  for (double along = 0; along <= a.width; along += 24) {
    for (const double ex : {x + along, x - along}) {
      for (const double ey : {a.top + size + 3, a.top + a.height - 5}) {
        edges.push_back({ex, ey, "middle", true});
      }
    }
  }
  // The edge on the point's side first (a peak's label above or below it), nearest first.
  const bool upper = y < a.top + a.height / 2;
  const auto far_side = [&](const candidate& c) { return (c.y < a.top + a.height / 2) != upper; };
  std::stable_sort(edges.begin(), edges.end(), [&](const candidate& p, const candidate& q) {
    if (far_side(p) != far_side(q)) return far_side(q);
    return std::fabs(p.x - x) < std::fabs(q.x - x);
  });
  out.insert(out.end(), edges.begin(), edges.end());
  return out;
}

void draw_legend(svg& out, placer& room, const std::vector<legend_entry>& entries, double x,
                 double top, double width) {
  double y = top + 13;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const legend_entry& e = entries[i];
    double text_x = x + legend_swatch + 6;
    bool bold = false;
    switch (e.kind) {
      case legend_entry::line:
        out.line(x, y - 4, x + legend_swatch, y - 4,
                 "stroke=\"" + e.colour + "\" stroke-width=\"" + svg::number(e.width) + "\"" +
                     dash_style(e.dash));
        break;
      case legend_entry::area:
        out.rect(x, y - 10, legend_swatch, 12, "fill=\"" + e.colour + "\" fill-opacity=\"0.55\"");
        break;
      case legend_entry::marker:
        out.line(x, y - 4, x + legend_swatch, y - 4,
                 "stroke=\"" + e.colour + "\" stroke-width=\"" + svg::number(e.width) + "\"" +
                     dash_style(e.dash));
        out.circle(x + legend_swatch / 2, y - 4, 3.5,
                   "fill=\"#ffffff\" stroke=\"" + e.colour + "\" stroke-width=\"1.5\"");
        break;
      case legend_entry::heading:
        if (i > 0) y += 6;
        text_x = x;
        bold = true;
        break;
      case legend_entry::text:
        text_x = x;
        break;
    }
    const std::string label = fitted(e.label, font::legend, bold, width - (text_x - x) + 1);
    out.text(text_x, y, label, text_style(font::legend, "#000000", bold));
    room.texts.push_back(text_box(text_x, y, label, font::legend, "start", bold));
    y += legend_line;
  }
}

void draw_panel(svg& out, placer& room, std::vector<pending_label>& labels, const panel& p,
                const panel_layout& l, const layout& lay) {
  const area& a = l.plot;
  const double right = a.left + a.width, bottom = a.top + a.height;
  const scale sx(l.x.low, l.x.high, a.left, right, p.x.log);
  const scale sy(l.y.low, l.y.high, bottom, a.top, p.y.log);
  const std::vector<tick> x_ticks = sx.ticks(x_label_spacing), y_ticks = sy.ticks(y_label_spacing);
  if (!p.title.empty()) {
    const double y = a.top - 8 - (labelled_guides(p) ? guide_row : 0);
    out.text(a.left, y, p.title, text_style(font::panel_title, "#000000", true));
    room.texts.push_back(text_box(a.left, y, p.title, font::panel_title, "start", true));
  }
  // Grid under everything.
  for (const tick& t : x_ticks) {
    const double x = sx(t.value);
    out.line(x, a.top, x, bottom,
             t.major ? "stroke=\"#d4d4d4\" stroke-width=\"1\""
                     : "stroke=\"#ececec\" stroke-width=\"1\"");
  }
  for (const tick& t : y_ticks) {
    const double y = sy(t.value);
    out.line(a.left, y, right, y,
             t.major ? "stroke=\"#d4d4d4\" stroke-width=\"1\""
                     : "stroke=\"#ececec\" stroke-width=\"1\"");
  }
  if (!p.y.log && l.y.low < 0 && l.y.high > 0) {
    out.line(a.left, sy(0), right, sy(0), "stroke=\"#888888\" stroke-width=\"1\"");
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
    polyline upper, lower;
    for (std::size_t i : kept) {
      if (i >= s.x.size() || !usable(s.upper[i], p.y.log) || !usable(s.x[i], p.x.log)) continue;
      d += d.empty() ? 'M' : 'L';
      d += svg::number(sx(s.x[i])) + ',' + svg::number(sy(s.upper[i]));
      upper.x.push_back(sx(s.x[i]));
      upper.y.push_back(sy(s.upper[i]));
    }
    for (std::size_t k = kept.size(); k-- > 0;) {
      const std::size_t i = kept[k];
      if (i >= s.x.size() || !usable(s.lower[i], p.y.log) || !usable(s.x[i], p.x.log)) continue;
      d += 'L' + svg::number(sx(s.x[i])) + ',' + svg::number(sy(s.lower[i]));
      lower.x.push_back(sx(s.x[i]));
      lower.y.push_back(sy(s.lower[i]));
    }
    if (!d.empty()) d += 'Z';
    out.path(d, "fill=\"" + s.colour + "\" fill-opacity=\"0.55\" stroke=\"none\"");
    room.curves.push_back(std::move(upper));
    room.curves.push_back(std::move(lower));
  }
  for (const guide& g : p.guides) {
    out.line(sx(g.x1), sy(g.y1), sx(g.x2), sy(g.y2),
             g.minor ? "stroke=\"#e2e2e2\" stroke-width=\"0.8\""
                     : "stroke=\"#a8a8a8\" stroke-width=\"0.8\"");
  }
  for (const line_series& s : p.lines) {
    const points r = reduce(s.x, s.y, l.x.low, l.x.high, columns);
    polyline pixels;
    const std::string d = line_path(r, sx, sy, pixels);
    out.path(d, "fill=\"none\" stroke=\"" + s.colour + "\" stroke-width=\"" + svg::number(s.width) +
                    "\" stroke-linejoin=\"round\"" + dash_style(s.dash));
    room.curves.push_back(std::move(pixels));
  }
  for (const mark& m : p.marks) {
    if (!usable(m.x, p.x.log) || !usable(m.y, p.y.log)) continue;
    const double x = sx(m.x), y = sy(m.y);
    out.circle(x, y, 4, "fill=\"none\" stroke=\"" + m.colour + "\" stroke-width=\"1.8\"");
    room.curves.push_back({{x - 5, x + 5}, {y - 5, y + 5}});
    room.curves.push_back({{x - 5, x + 5}, {y + 5, y - 5}});
    if (!m.label.empty()) {
      labels.push_back({.priority = 0,
                        .text = m.label,
                        .size = font::label,
                        .style = haloed(text_style(font::label, "#000000")),
                        .within = {a.left, a.top, right, bottom},
                        .candidates = mark_candidates(a, x, y, font::label),
                        .point_x = x,
                        .point_y = y});
    }
  }
  out.end_clip();
  room.plots.push_back({a.left, a.top, right, bottom});

  for (const guide& g : p.guides) {
    if (g.label.empty()) continue;
    labels.push_back({.priority = g.minor ? 2 : 1,
                      .text = g.label,
                      .size = font::guide,
                      .style = haloed(text_style(font::guide, "#555555")),
                      .within = {a.left, a.top, right, bottom},
                      .candidates = guide_candidates(a, sx(g.x1), sy(g.y1), sx(g.x2), sy(g.y2),
                                                     font::guide, !g.minor),
                      .padding = 4});
  }

  out.rect(a.left, a.top, a.width, a.height, "fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"");
  for (const tick& t : x_ticks) {
    const double x = sx(t.value);
    out.line(x, bottom, x, bottom + (t.major ? 5 : 3), "stroke=\"#000000\" stroke-width=\"1\"");
    if (t.labelled && l.x_labels) {
      const double size = t.major ? font::tick : font::minor_tick;
      const std::string label = tick_label(t.value);
      out.text(x, bottom + 18, label, text_style(size, t.major ? "#000000" : "#333333"), "middle");
      room.texts.push_back(text_box(x, bottom + 18, label, size, "middle"));
    }
  }
  for (const tick& t : y_ticks) {
    const double y = sy(t.value);
    out.line(a.left - (t.major ? 5 : 3), y, a.left, y, "stroke=\"#000000\" stroke-width=\"1\"");
    if (t.labelled) {
      const double size = t.major ? font::tick : font::minor_tick;
      const std::string label = tick_label(t.value);
      out.text(a.left - 8, y + 4.5, label, text_style(size, t.major ? "#000000" : "#333333"),
               "end");
      room.texts.push_back(text_box(a.left - 8, y + 4.5, label, size, "end"));
    }
  }
  if (l.x_labels) {
    const double y = bottom + tick_labels_height + 19;
    out.text(a.left + a.width / 2, y, p.x.title, text_style(font::axis_title, "#000000"), "middle");
    room.texts.push_back(text_box(a.left + a.width / 2, y, p.x.title, font::axis_title, "middle"));
  }
  {
    // The y title turned a quarter: its box is the text's box turned about (x, y). A title
    // longer than its panel is set smaller, down to the size of the tick labels.
    double size = font::axis_title;
    while (size > font::minor_tick && text_width(p.y.title, size) > a.height + 10) size -= 0.5;
    const double x = side_padding + size * 0.93, y = a.top + a.height / 2;
    const std::string title = fitted(p.y.title, size, false, a.height + 10);
    out.text(x, y, title, text_style(size, "#000000"), "middle", -90);
    const double w = text_width(title, size);
    room.texts.push_back({x - 0.93 * size, y - w / 2, x + 0.24 * size, y + w / 2});
  }
  if (!p.note.empty()) {
    const double y = bottom + (l.x_labels ? tick_labels_height + axis_title_height : 6) + 13;
    out.text(right, y, p.note, text_style(font::note, "#333333"), "end");
    room.texts.push_back(text_box(right, y, p.note, font::note, "end"));
  }
  if (!p.legend_inside) {
    draw_legend(out, room, legend_of(p), right + lay.guide_width + legend_gap, a.top,
                lay.legend_width - legend_gap - 4);
    return;
  }
  // Inside: the corner whose box the fewest curves cross, on a white ground.
  const std::vector<legend_entry> entries = legend_of(p);
  if (entries.empty()) return;
  double widest = 0;
  for (const legend_entry& e : entries) widest = std::max(widest, entry_width(e));
  const double w = std::min(widest, a.width / 2) + 16, h = legend_height(entries) + 8;
  const box corners[] = {{right - 6 - w, a.top + 6, right - 6, a.top + 6 + h},
                         {a.left + 6, a.top + 6, a.left + 6 + w, a.top + 6 + h},
                         {right - 6 - w, bottom - 6 - h, right - 6, bottom - 6},
                         {a.left + 6, bottom - 6 - h, a.left + 6 + w, bottom - 6}};
  const box* best = &corners[0];
  std::size_t fewest = SIZE_MAX;
  for (const box& c : corners) {
    std::size_t crossing = 0;
    for (const polyline& line : room.curves) crossing += crosses(c.grown(10), line) ? 1 : 0;
    if (crossing < fewest) {
      fewest = crossing;
      best = &c;
    }
  }
  out.rect(best->left, best->top, w, h,
           "fill=\"#ffffff\" fill-opacity=\"0.9\" stroke=\"#bbbbbb\" stroke-width=\"0.8\"");
  room.texts.push_back(*best);
  draw_legend(out, room, entries, best->left + 8, best->top + 2, w - 16);
}

}  // namespace

std::string render(const figure& f) {
  const layout lay = lay_out(f);
  svg out(f.width, lay.height, f.title);
  placer room;
  room.figure_box = {0, 0, f.width, lay.height};
  double y = 12;
  for (const std::string& line : lay.title) {
    y += title_line;
    out.text(side_padding, y - 4, line, text_style(font::title, "#000000", true));
    room.texts.push_back(text_box(side_padding, y - 4, line, font::title, "start", true));
  }
  for (const std::string& line : lay.subtitle) {
    y += subtitle_line;
    out.text(side_padding, y - 3, line, text_style(font::subtitle, "#333333"));
    room.texts.push_back(text_box(side_padding, y - 3, line, font::subtitle, "start"));
  }
  std::vector<pending_label> labels;
  for (std::size_t i = 0; i < f.panels.size(); ++i) {
    draw_panel(out, room, labels, f.panels[i], lay.panels[i], lay);
  }
  for (std::size_t i = 0; i < f.notes.size(); ++i) {
    const double ny = lay.notes_top + note_line * static_cast<double>(i) + 12;
    out.text(side_padding, ny, f.notes[i], text_style(font::note, "#333333"));
    room.texts.push_back(text_box(side_padding, ny, f.notes[i], font::note, "start"));
  }
  // Labels last, most important first, each where it covers nothing.
  std::stable_sort(
      labels.begin(), labels.end(),
      [](const pending_label& a, const pending_label& b) { return a.priority < b.priority; });
  for (const pending_label& l : labels) {
    for (const candidate& c : l.candidates) {
      const box b = text_box(c.x, c.y, l.text, l.size, c.anchor);
      if (c.inside && (b.left < l.within.left + 1 || b.right > l.within.right - 1 ||
                       b.top < l.within.top + 1 || b.bottom > l.within.bottom - 1))
        continue;
      if (!room.free(b, c.inside, l.padding)) continue;
      if (!std::isnan(l.point_x)) {
        const double nx = std::clamp(l.point_x, b.left, b.right);
        const double ny = std::clamp(l.point_y, b.top, b.bottom);
        const double dx = nx - l.point_x, dy = ny - l.point_y;
        const double distance = std::sqrt(dx * dx + dy * dy);
        // A leader to a label away from its point, unless it would cross a curve.
        if (distance > 10) {
          const double sx = l.point_x + 6 * dx / distance, sy = l.point_y + 6 * dy / distance;
          if (std::none_of(room.curves.begin(), room.curves.end(),
                           [&](const polyline& curve) { return meets(curve, sx, sy, nx, ny); })) {
            out.line(sx, sy, nx, ny, "stroke=\"#555555\" stroke-width=\"0.8\"");
          }
        }
      }
      out.text(c.x, c.y, l.text, l.style, c.anchor);
      room.texts.push_back(b);
      break;
    }
  }
  return out.finish();
}

area plot_area(const figure& f, std::size_t panel) {
  return lay_out(f).panels[panel].plot;
}

double x_pixel(const figure& f, std::size_t panel, double value) {
  const panel_layout l = lay_out(f).panels[panel];
  const scale sx(l.x.low, l.x.high, l.plot.left, l.plot.left + l.plot.width, f.panels[panel].x.log);
  return sx(value);
}

double y_pixel(const figure& f, std::size_t panel, double value) {
  const panel_layout l = lay_out(f).panels[panel];
  const scale sy(l.y.low, l.y.high, l.plot.top + l.plot.height, l.plot.top, f.panels[panel].y.log);
  return sy(value);
}

}  // namespace plot
