#include "plot/svg.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace plot {
namespace {

// Where a clip's name is completed; no text written into a picture holds it (escape turns
// control characters into ?).
constexpr const char* clip_mark = "\x01clip";

}  // namespace

std::string svg::escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
          out += '?';
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string svg::number(double value) {
  if (!std::isfinite(value)) value = 0;
  const double rounded = std::round(value * 100) / 100;
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, rounded == 0 ? 0.0 : rounded,
                               std::chars_format::fixed, 2);
  std::string s(text, r.ptr);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

svg::svg(double width, double height, std::string_view title) {
  out_ =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "width=\"" +
      number(width) + "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(width) + " " +
      number(height) + "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\">\n<title>" +
      escape(title) + "</title>\n";
  rect(0, 0, width, height, "fill=\"#ffffff\"");
}

void svg::rect(double x, double y, double w, double h, std::string_view style) {
  out_ += "<rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" + number(w) +
          "\" height=\"" + number(h) + "\" ";
  out_ += style;
  out_ += "/>\n";
}

void svg::line(double x1, double y1, double x2, double y2, std::string_view style) {
  out_ += "<line x1=\"" + number(x1) + "\" y1=\"" + number(y1) + "\" x2=\"" + number(x2) +
          "\" y2=\"" + number(y2) + "\" ";
  out_ += style;
  out_ += "/>\n";
}

void svg::path(std::string_view d, std::string_view style) {
  if (d.empty()) return;
  out_ += "<path d=\"";
  out_ += d;
  out_ += "\" ";
  out_ += style;
  out_ += "/>\n";
}

void svg::circle(double x, double y, double r, std::string_view style) {
  out_ += "<circle cx=\"" + number(x) + "\" cy=\"" + number(y) + "\" r=\"" + number(r) + "\" ";
  out_ += style;
  out_ += "/>\n";
}

void svg::text(double x, double y, std::string_view content, std::string_view style,
               std::string_view anchor, double rotation) {
  out_ += "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" text-anchor=\"";
  out_ += anchor;
  out_ += "\" ";
  if (rotation != 0) {
    out_ += "transform=\"rotate(" + number(rotation) + " " + number(x) + " " + number(y) + ")\" ";
  }
  out_ += style;
  out_ += ">" + escape(content) + "</text>\n";
}

void svg::begin_clip(double x, double y, double w, double h) {
  // The name is completed when the picture is whole (see finish).
  const std::string id = std::string(clip_mark) + std::to_string(clips_++);
  out_ += "<clipPath id=\"" + id + "\"><rect x=\"" + number(x) + "\" y=\"" + number(y) +
          "\" width=\"" + number(w) + "\" height=\"" + number(h) +
          "\"/></clipPath>\n<g clip-path=\"url(#" + id + ")\">\n";
}

void svg::end_clip() {
  out_ += "</g>\n";
}

std::string svg::finish() {
  // Pictures inlined in one HTML page share one space of ids: each picture's clips are named
  // after a hash of its text, the same for the same picture on every run.
  std::uint64_t hash = 0xcbf29ce484222325;  // FNV-1a
  for (const char c : out_) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3;
  }
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "c%016llx-", static_cast<unsigned long long>(hash));
  std::string text;
  text.reserve(out_.size() + 16);
  std::size_t from = 0;
  for (std::size_t at; (at = out_.find(clip_mark, from)) != std::string::npos;) {
    text.append(out_, from, at - from);
    text += prefix;
    from = at + std::string_view(clip_mark).size();
  }
  text.append(out_, from);
  return text + "</svg>\n";
}

}  // namespace plot
