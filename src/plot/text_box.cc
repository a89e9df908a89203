#include "plot/text_box.h"

#include <algorithm>
#include <cmath>

namespace plot {
namespace {

// DejaVu Sans's advance widths of the printable ASCII characters, thousandths of an em.
constexpr short ascii_widths[95] = {
    318, 401, 460, 838, 636, 950, 780, 275, 390, 390, 500, 838, 318, 361,  318, 337, 636, 636, 636,
    636, 636, 636, 636, 636, 636, 636, 337, 337, 838, 838, 838, 531, 1000, 684, 686, 698, 770, 632,
    575, 775, 752, 295, 295, 656, 557, 863, 748, 787, 603, 787, 695, 635,  611, 732, 684, 989, 685,
    611, 685, 390, 337, 390, 838, 500, 500, 613, 635, 550, 635, 615, 352,  635, 634, 278, 278, 579,
    278, 974, 634, 612, 635, 635, 411, 521, 392, 634, 592, 818, 592, 592,  525, 636, 337, 636, 838};

// Inside the box of a text: from the ascender to the descender, as the font sets them.
constexpr double ascent = 0.93, descent = 0.24;

}  // namespace

double text_width(std::string_view text, double size, bool bold) {
  double thousandths = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 32 && c < 127) {
      thousandths += ascii_widths[c - 32];
    } else if (c >= 0xC0) {
      // The first byte of a character beyond ASCII (superscripts, dashes): as wide as a dash
      // at most.
      thousandths += c == 0xE2 ? 1000 : 600;
    }
  }
  return thousandths / 1000 * size * (bold ? 1.1 : 1.0);
}

box text_box(double x, double y, std::string_view text, double size, std::string_view anchor,
             bool bold) {
  const double w = text_width(text, size, bold);
  const double left = anchor == "middle" ? x - w / 2 : anchor == "end" ? x - w : x;
  return {left, y - ascent * size, left + w, y + descent * size};
}

bool crosses(const box& b, double x1, double y1, double x2, double y2) {
  // Clip the segment to the box's slab in x, then test the y extent of what is left.
  if (std::max(x1, x2) < b.left || std::min(x1, x2) > b.right) return false;
  if (std::max(y1, y2) < b.top || std::min(y1, y2) > b.bottom) return false;
  double t0 = 0, t1 = 1;
  const double dx = x2 - x1, dy = y2 - y1;
  const auto clip = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0) {
      if (r > t1) return false;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return false;
      t1 = std::min(t1, r);
    }
    return true;
  };
  return clip(-dx, x1 - b.left) && clip(dx, b.right - x1) && clip(-dy, y1 - b.top) &&
         clip(dy, b.bottom - y1) && t0 <= t1;
}

bool crosses(const box& b, const polyline& line) {
  for (std::size_t i = 0; i + 1 < line.x.size(); ++i) {
    if (std::isnan(line.x[i]) || std::isnan(line.x[i + 1]) || std::isnan(line.y[i]) ||
        std::isnan(line.y[i + 1]))
      continue;
    if (crosses(b, line.x[i], line.y[i], line.x[i + 1], line.y[i + 1])) return true;
  }
  // A polyline of one point is a marker.
  if (line.x.size() == 1) return crosses(b, line.x[0], line.y[0], line.x[0], line.y[0]);
  return false;
}

bool meets(const polyline& line, double x1, double y1, double x2, double y2) {
  const auto side = [](double ax, double ay, double bx, double by, double px, double py) {
    const double cross = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    return (cross > 0) - (cross < 0);
  };
  for (std::size_t i = 0; i + 1 < line.x.size(); ++i) {
    const double ax = line.x[i], ay = line.y[i], bx = line.x[i + 1], by = line.y[i + 1];
    if (std::isnan(ax) || std::isnan(ay) || std::isnan(bx) || std::isnan(by)) continue;
    if (side(x1, y1, x2, y2, ax, ay) * side(x1, y1, x2, y2, bx, by) <= 0 &&
        side(ax, ay, bx, by, x1, y1) * side(ax, ay, bx, by, x2, y2) <= 0)
      return true;
  }
  return false;
}

}  // namespace plot
