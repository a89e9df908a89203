// SVG text: shapes, paths and text with their attributes, escaped as XML requires. Knows
// nothing of what it draws.
#pragma once

#include <string>
#include <string_view>

namespace plot {

class svg {
 public:
  svg(double width, double height, std::string_view title);
  // Style attributes are written as given (fill="none" stroke="#000"...).
  void rect(double x, double y, double w, double h, std::string_view style);
  void line(double x1, double y1, double x2, double y2, std::string_view style);
  void path(std::string_view d, std::string_view style);
  void circle(double x, double y, double r, std::string_view style);
  // anchor: start, middle or end; rotation in degrees about (x, y).
  void text(double x, double y, std::string_view content, std::string_view style,
            std::string_view anchor = "start", double rotation = 0);
  // A clipping rectangle for what follows until end_clip.
  void begin_clip(double x, double y, double w, double h);
  void end_clip();
  std::string finish();

  static std::string escape(std::string_view text);
  static std::string number(double value);  // two decimals at most: pixels

 private:
  std::string out_;
  int clips_ = 0;
};

}  // namespace plot
