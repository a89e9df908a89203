#include "report/report.h"

#include <charconv>
#include <cmath>

#include "measures/measure.h"
#include "plot/figures.h"
#include "plot/svg.h"

namespace report {
namespace {

std::string html(std::string_view text) {
  return plot::svg::escape(text);
}

std::string number(double value, int digits = 4) {
  if (std::isnan(value)) return "";
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
  return std::string(text, r.ptr);
}

std::vector<plot::spectrum_curve> curves_of(const record_result& r) {
  std::vector<plot::spectrum_curve> curves;
  for (const auto& c : r.curves) {
    plot::spectrum_curve curve;
    curve.component = c.component;
    curve.damping = c.damping;
    curve.periods = c.periods;
    curve.heavy = c.rotated;
    for (const auto& o : c.ordinates) {
      curve.sd.push_back(o.sd);
      curve.psa.push_back(o.psa);
      curve.psv.push_back(o.psv);
    }
    if (r.energy && !c.rotated) {
      for (const auto& o : c.ordinates) {
        curve.relative_energy.push_back(o.relative_energy_velocity);
        curve.absolute_energy.push_back(o.absolute_energy_velocity);
      }
    }
    curves.push_back(std::move(curve));
  }
  return curves;
}

// Inline in HTML, an SVG goes without its XML declaration.
std::string inline_svg(const std::string& svg) {
  const std::size_t start = svg.find("<svg");
  return start == std::string::npos ? svg : svg.substr(start);
}

// The headings of the intensity measures, from their declared columns.
std::string measure_headings() {
  std::string headings;
  for (const measures::measure& m : measures::all()) {
    for (const tables::column& c : m.columns) {
      headings += "<th>" + html(c.heading) + " (" + html(c.unit) + ")</th>";
    }
  }
  return headings;
}

std::size_t measure_columns() {
  std::size_t n = 0;
  for (const measures::measure& m : measures::all()) n += m.columns.size();
  return n;
}

std::string measure_cells(const measure_row& m) {
  std::string row;
  for (double v : m.values) row += "<td>" + number(v) + "</td>";
  return row;
}

}  // namespace

std::string picture_name(const std::string& record) {
  std::string name;
  std::size_t start = 0;
  while (start <= record.size()) {
    std::size_t end = record.find('+', start);
    if (end == std::string::npos) end = record.size();
    std::string part = record.substr(start, end - start);
    const std::size_t slash = part.rfind('/');
    if (slash != std::string::npos) part = part.substr(slash + 1);
    const std::size_t dot = part.rfind('.');
    if (dot != std::string::npos && dot > 0) part = part.substr(0, dot);
    if (!name.empty()) name += '+';
    name += part;
    start = end + 1;
  }
  for (char& c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '_' || c == '+' || c == '-';
    if (!keep) c = '_';
  }
  return name.empty() || name == "-" ? "standard-input" : name;
}

pictures::pictures(file_writer write_file, bool page)
    : write_file_(std::move(write_file)), page_(page) {}

void pictures::record(const record_result& r) {
  const std::vector<plot::spectrum_curve> curves = curves_of(r);
  const std::string spectrum = plot::render(plot::spectrum_figure(r.name, curves));
  const std::string tripartite = plot::render(plot::tripartite_figure(r.name, curves));
  ++records_;
  if (write_file_) {
    std::string name = picture_name(r.name);
    for (int k = 2; std::find(names_.begin(), names_.end(), name) != names_.end(); ++k) {
      name = picture_name(r.name) + "-" + std::to_string(k);
    }
    names_.push_back(name);
    for (const auto& [suffix, content] :
         {std::pair{"-spectrum.svg", &spectrum}, std::pair{"-tripartite.svg", &tripartite}}) {
      if (!write_file_(name + suffix, *content)) failures_.push_back(name + suffix);
    }
  }
  if (!page_) return;
  const std::string anchor = "r" + std::to_string(records_);
  for (std::size_t i = 0; i < r.intensity.size(); ++i) {
    summary_rows_ += "<tr>";
    if (i == 0) {
      summary_rows_ += "<td class=\"name\" rowspan=\"" + std::to_string(r.intensity.size()) +
                       "\"><a href=\"#" + anchor + "\">" + html(r.name) + "</a></td>";
    }
    summary_rows_ += "<td class=\"name\">" + html(r.intensity[i].component) + "</td>" +
                     measure_cells(r.intensity[i]) + "</tr>\n";
  }
  if (r.intensity.empty()) {
    summary_rows_ += "<tr><td><a href=\"#" + anchor + "\">" + html(r.name) +
                     "</a></td><td colspan=\"" + std::to_string(measure_columns() + 1) +
                     "\"></td></tr>\n";
  }
  double pga = 0;
  for (const auto& m : r.intensity) {
    const double v = m.values[measures::column_index("pga_g")];
    if (!m.rotated && !std::isnan(v)) pga = std::max(pga, v);
  }
  sections_ += "<section id=\"" + anchor + "\"><details><summary><b>" + html(r.name) + "</b>";
  if (pga > 0) sections_ += " &#8212; largest PGA " + number(pga, 3) + " g";
  sections_ += "</summary>\n";
  if (!r.intensity.empty()) {
    sections_ +=
        "<table><thead><tr><th>Component</th>" + measure_headings() + "</tr></thead><tbody>\n";
    for (const auto& m : r.intensity) {
      sections_ +=
          "<tr><td class=\"name\">" + html(m.component) + "</td>" + measure_cells(m) + "</tr>\n";
    }
    sections_ += "</tbody></table>\n";
  }
  sections_ += "<div class=\"figure\">" + inline_svg(spectrum) + "</div>\n<div class=\"figure\">" +
               inline_svg(tripartite) + "</div>\n</details></section>\n";
}

std::string pictures::page(const std::string& title) const {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
         html(title) +
         "</title>\n<style>\n"
         "body{font-family:'DejaVu Sans',Helvetica,Arial,sans-serif;margin:2em;color:#000}\n"
         "table{border-collapse:collapse;margin:0.8em 0}\n"
         "th,td{border:1px solid #bbb;padding:0.25em 0.6em;text-align:right}\n"
         "th:first-child,.name,td[rowspan]{text-align:left}\n"
         "th{background:#f0f0f0;white-space:nowrap}\n"
         ".summary "
         "td[rowspan]{vertical-align:top;min-width:12em;max-width:30em;overflow-wrap:anywhere}\n"
         "summary{cursor:pointer;padding:0.3em 0}\n"
         ".figure svg{max-width:100%;height:auto}\n"
         "section{border-top:1px solid #ddd}\n"
         "</style>\n</head>\n<body>\n<h1>" +
         html(title) + "</h1>\n<p>" + std::to_string(records_) +
         (records_ == 1 ? " record" : " records") +
         ". Intensity measures of each component and of the rotated (RotD) pairs; open a "
         "record below for its spectra.</p>\n"
         "<table class=\"summary\"><thead><tr><th>Record</th><th>Component</th>" +
         measure_headings() + "</tr></thead><tbody>\n" + summary_rows_ + "</tbody></table>\n" +
         sections_ + "</body>\n</html>\n";
}

}  // namespace report
