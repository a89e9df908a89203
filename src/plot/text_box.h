// Where a text lands on the picture: its width from the advance widths of DejaVu Sans (the
// first font the pictures ask for; the fallbacks are narrower), and the box it covers, so that
// labels can be placed where they cover neither another text nor a curve.
#pragma once

#include <string_view>
#include <vector>

namespace plot {

// The width in pixels of a text at a font size; bold text is about a tenth wider.
double text_width(std::string_view text, double size, bool bold = false);

struct box {
  double left, top, right, bottom;
  bool overlaps(const box& other) const {
    return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
  }
  box grown(double by) const { return {left - by, top - by, right + by, bottom + by}; }
};

// The box of a text drawn at (x, y) with its baseline at y: anchor start, middle or end.
box text_box(double x, double y, std::string_view text, double size, std::string_view anchor,
             bool bold = false);

// Whether the segment from (x1, y1) to (x2, y2) passes through the box.
bool crosses(const box& b, double x1, double y1, double x2, double y2);

// A polyline in pixels; a not-a-number point breaks it.
struct polyline {
  std::vector<double> x, y;
};
bool crosses(const box& b, const polyline& line);
// Whether the segment from (x1, y1) to (x2, y2) meets the polyline.
bool meets(const polyline& line, double x1, double y1, double x2, double y2);

}  // namespace plot
