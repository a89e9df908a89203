#include "report/report.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/paths.h"
#include "base/strings.h"
#include "measures/measure.h"
#include "plot/figures.h"
#include "plot/fourier_figure.h"
#include "plot/inelastic_figure.h"
#include "plot/svg.h"

namespace report {
namespace {

std::string html(std::string_view text) {
  return plot::svg::escape(text);
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

// The page's looks: figures two abreast where the page is wide, wide tables scrolled on screen;
// on paper every table in small type so that its twenty columns fit A4, every figure, a
// record's section kept together where it fits.
constexpr const char* style =
    "body{font-family:'DejaVu Sans',Helvetica,Arial,sans-serif;margin:2em;color:#000}\n"
    "table{border-collapse:collapse;margin:0.8em 0}\n"
    "th,td{border:1px solid #bbb;padding:0.25em 0.6em;text-align:right}\n"
    "th:first-child,.name,td[rowspan]{text-align:left}\n"
    "th{background:#f0f0f0}\n"
    "table.run th{text-align:left}\n"
    "table.run td{text-align:left;font-family:'DejaVu Sans Mono',monospace}\n"
    "td[rowspan]{vertical-align:top;min-width:10em;max-width:30em;overflow-wrap:anywhere}\n"
    "@media screen{table{display:block;overflow-x:auto;max-width:100%}}\n"
    "tr.failed td{color:#b00000}\n"
    "summary{cursor:pointer}\nsummary h2{display:inline;font-size:1.2em}\n"
    ".figures{display:grid;grid-template-columns:repeat(auto-fit,minmax(520px,1fr));gap:1em}\n"
    ".figure svg{width:100%;height:auto}\n"
    "section{border-top:1px solid #ddd;margin-top:1em}\n"
    "@media print{@page{size:A4;margin:12mm}body{margin:0;font-size:10pt}"
    "table{font-size:6.5pt}th,td{padding:0.1em 0.25em}td[rowspan]{min-width:0;max-width:8em}"
    "summary{list-style:none}.figures{display:block}"
    ".figure{break-inside:avoid;margin-bottom:1em}section{break-before:page}}\n";

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

// The record's Fourier spectra, when it has some: "" otherwise.
std::string fourier_picture(const record_result& r) {
  if (r.fourier.empty()) return {};
  std::vector<plot::fourier_curve> spectra;
  for (const fourier_curve& c : r.fourier) {
    plot::fourier_curve p{.label = c.label,
                          .frequencies = {},
                          .raw = c.raw,
                          .centres = c.centres,
                          .smoothed = c.smoothed,
                          .effective = c.effective};
    for (std::size_t k = 0; k < c.raw.size(); ++k) {
      p.frequencies.push_back(static_cast<double>(k) * c.df);
    }
    spectra.push_back(std::move(p));
  }
  return plot::render(plot::fourier_figure(r.title, spectra, r.fourier_note));
}

}  // namespace

std::string picture_name(const std::string& record) {
  std::string name;
  for (std::string_view part : base::split(record, '+')) {
    if (!name.empty()) name += '+';
    name += base::stem(part);
  }
  name = base::file_name_part(name);
  return name.empty() || name == "-" ? "standard-input" : name;
}

std::string number(double value, int digits) {
  if (std::isnan(value)) return "";
  // The values shown are in engineering units (g, cm, s): below 1e-10 they are rounding.
  if (std::fabs(value) < 1e-10) return "0";
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
  return std::string(text, r.ptr);
}

writer::writer(picture_writer write_picture, edge::output_file* page, edge::disk& disk,
               const std::string& scratch_folder, run_info info, plot::spectrum_scale scale)
    : write_picture_(std::move(write_picture)),
      scale_(scale),
      spectra_note_(info.continuous_peaks ? ", peaks between samples" : ""),
      page_(page),
      disk_(disk),
      scratch_folder_(scratch_folder) {
  if (!page_) return;
  scratch_ = disk_.create_temporary(scratch_folder_);
  if (scratch_.handle < 0) scratch_error_ = -scratch_.handle;
  std::string head =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width\">\n<title>" +
      html(info.title) + "</title>\n<style>\n" + style + "</style>\n</head>\n<body>\n<h1>" +
      html(info.title) + "</h1>\n<table class=\"run\">\n";
  std::string peaks = info.continuous_peaks
                          ? "over continuous time, between the samples too"
                          : "at the samples, with sub-steps of at most a tenth of the period";
  for (const auto& [what, value] :
       {std::pair{"Program", &info.version}, std::pair{"Run", &info.date},
        std::pair{"Command", &info.command_line}, std::pair{"Damping", &info.dampings},
        std::pair{"Periods", &info.periods}, std::pair{"Peaks", &peaks},
        std::pair{"Units", &info.units}}) {
    head += "<tr><th>" + std::string(what) + "</th><td>" + html(*value) + "</td></tr>\n";
  }
  head +=
      "</table>\n<h2>Intensity measures</h2>\n<table class=\"summary\"><thead><tr>"
      "<th>Record</th><th>Component</th>" +
      measure_headings() + "</tr></thead><tbody>\n";
  page_->write(head);
}

writer::~writer() {
  if (scratch_.handle >= 0) {
    (void)disk_.close(scratch_.handle);
    (void)disk_.remove(scratch_.name);
  }
}

void writer::section(const std::string& text) {
  if (scratch_.handle < 0 || scratch_error_ != 0) return;
  const edge::write_result r = disk_.write(scratch_.handle, text.data(), text.size());
  scratch_error_ = r.error;
}

void writer::failed(const base::status& s) {
  ++failed_;
  if (!page_) return;
  page_->write("<tr class=\"failed\"><td class=\"name\">" + html(s.file) +
               "</td><td class=\"name\" colspan=\"" + std::to_string(measure_columns() + 1) +
               "\">" +
               html((s.at_byte    ? "byte " + std::to_string(s.byte) + ": "
                     : s.line > 0 ? "line " + std::to_string(s.line) + ": "
                                  : "") +
                    s.what) +
               "</td></tr>\n");
}

void writer::record(const record_result& r) {
  const std::vector<plot::spectrum_curve> curves = curves_of(r);
  const std::string spectra_title = r.title + spectra_note_;
  const std::string spectrum = plot::render(plot::spectrum_figure(spectra_title, curves, scale_));
  const std::string tripartite = plot::render(plot::tripartite_figure(spectra_title, curves));
  // The record itself, as processed and as recorded.
  const auto record_picture = [&](const std::vector<component_histories>& h, const char* how) {
    plot::record_histories p{.title = r.title + how, .dt = r.dt, .components = {}};
    for (const component_histories& c : h) {
      p.components.push_back({c.name, c.acceleration, c.velocity, c.displacement, c.husid});
    }
    return p.components.empty() ? std::string() : plot::render(plot::record_figure(p));
  };
  const bool processed = !r.raw_histories.empty();
  const std::string record = record_picture(r.histories, processed ? ", processed" : "");
  const std::string raw = record_picture(r.raw_histories, ", as recorded");
  std::vector<std::string> inelastic;
  for (const inelastic_curves& set : r.inelastic) {
    std::vector<plot::ductility_curve> curves_mu;
    for (const auto& c : set.curves) curves_mu.push_back({c.ductility, c.periods, c.r_mu, c.c_mu});
    const std::string detail = set.component + ", " + number(100 * set.damping, 3) + "% damping, " +
                               (set.alpha == 0 ? std::string("elastoplastic")
                                               : "post-yield stiffness " + number(set.alpha, 3));
    inelastic.push_back(plot::render(plot::inelastic_figure(r.title, detail, curves_mu)));
  }
  const std::string fourier = fourier_picture(r);
  ++records_;
  if (write_picture_) {
    std::string name = picture_name(r.name);
    for (int k = 2; std::find(names_.begin(), names_.end(), name) != names_.end(); ++k) {
      name = picture_name(r.name) + "-" + std::to_string(k);
    }
    names_.push_back(name);
    for (const auto& [suffix, content] :
         {std::pair{"-spectrum.svg", &spectrum}, std::pair{"-tripartite.svg", &tripartite},
          std::pair{"-record.svg", &record}, std::pair{"-record-as-recorded.svg", &raw},
          std::pair{"-fourier.svg", &fourier}}) {
      if (content->empty()) continue;
      if (!write_picture_(name + suffix, *content)) failures_.push_back(name + suffix);
    }
    for (std::size_t i = 0; i < inelastic.size(); ++i) {
      const std::string file = name + "-" + picture_name(r.inelastic[i].component) + "-" +
                               number(100 * r.inelastic[i].damping, 3) + "pct-inelastic.svg";
      if (!write_picture_(file, inelastic[i])) failures_.push_back(file);
    }
  }
  if (!page_) return;
  const std::string anchor = "r" + std::to_string(records_);
  std::string rows;
  for (std::size_t i = 0; i < r.intensity.size(); ++i) {
    rows += "<tr>";
    if (i == 0) {
      // The record by its file names (and station): the path is in the section it links to.
      rows += "<td class=\"name\" rowspan=\"" + std::to_string(r.intensity.size()) +
              "\"><a href=\"#" + anchor + "\" title=\"" + html(r.name) + "\">" +
              html(r.title.empty() ? r.name : r.title) + "</a></td>";
    }
    rows += "<td class=\"name\">" + html(r.intensity[i].component) + "</td>" +
            measure_cells(r.intensity[i]) + "</tr>\n";
  }
  if (r.intensity.empty()) {
    rows += "<tr><td class=\"name\"><a href=\"#" + anchor + "\">" + html(r.name) +
            "</a></td><td colspan=\"" + std::to_string(measure_columns() + 1) + "\"></td></tr>\n";
  }
  page_->write(rows);

  std::string text = "<section id=\"" + anchor + "\"><details open><summary><h2>" + html(r.name) +
                     "</h2></summary>\n<table class=\"files\"><thead><tr><th>File</th>"
                     "<th>Station</th><th>Event</th><th>Start (UTC)</th><th>dt (s)</th>"
                     "<th>Samples</th><th>Duration (s)</th><th>Components</th></tr></thead>"
                     "<tbody>\n";
  for (const file_read& f : r.files) {
    std::string channels;
    for (const std::string& c : f.channels) channels += (channels.empty() ? "" : ", ") + c;
    const double duration = f.samples > 0 ? static_cast<double>(f.samples - 1) * f.dt : 0;
    text += "<tr><td class=\"name\">" + html(f.path) + "</td><td class=\"name\">" +
            html(f.station) + "</td><td class=\"name\">" + html(f.event) +
            "</td><td class=\"name\">" + html(f.start) + "</td><td>" + number(f.dt) + "</td><td>" +
            std::to_string(f.samples) + "</td><td>" + number(duration) +
            "</td><td class=\"name\">" + html(channels) + "</td></tr>\n";
  }
  text += "</tbody></table>\n";
  if (!r.pairs.empty()) {
    text += "<p>Rotated spectra of the pair" + std::string(r.pairs.size() > 1 ? "s " : " ");
    for (std::size_t i = 0; i < r.pairs.size(); ++i) {
      text += (i > 0 ? ", " : "") + html(r.pairs[i]);
    }
    text += " (angles from the first component).</p>\n";
  }
  if (!r.intensity.empty()) {
    text += "<table><thead><tr><th>Component</th>" + measure_headings() + "</tr></thead><tbody>\n";
    for (const auto& m : r.intensity) {
      text +=
          "<tr><td class=\"name\">" + html(m.component) + "</td>" + measure_cells(m) + "</tr>\n";
    }
    text += "</tbody></table>\n";
  }
  text += "<div class=\"figures\">";
  for (const std::string* svg : {&record, &raw, &spectrum, &tripartite, &fourier}) {
    if (!svg->empty()) text += "<div class=\"figure\">" + inline_svg(*svg) + "</div>\n";
  }
  for (const std::string& svg : inelastic)
    text += "<div class=\"figure\">" + inline_svg(svg) + "</div>\n";
  text += "</div>\n</details></section>\n";
  section(text);
}

base::status writer::finish() {
  if (!page_) return {};
  page_->write("</tbody></table>\n<p>" + std::to_string(records_) +
               (records_ == 1 ? " record" : " records") + " computed" +
               (failed_ > 0 ? ", " + std::to_string(failed_) + " failed (listed above)" : "") +
               ".</p>\n");
  if (scratch_error_ != 0) {
    return {.code = base::code::io,
            .file = "temporary file of the report",
            .what = disk_.error_text(scratch_error_)};
  }
  // The sections, copied in from the temporary file.
  if (scratch_.handle >= 0) {
    (void)disk_.close(scratch_.handle);
    scratch_.handle = -1;
    const int in = disk_.open(scratch_.name, edge::open_mode::read_only);
    if (in < 0) {
      return {.code = base::code::io, .file = scratch_.name, .what = disk_.error_text(-in)};
    }
    char buffer[1 << 16];
    long n = 0;
    while ((n = disk_.read(in, buffer, sizeof buffer)) > 0) {
      page_->write(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
    (void)disk_.close(in);
    (void)disk_.remove(scratch_.name);
    if (n < 0) {
      return {.code = base::code::io,
              .file = scratch_.name,
              .what = disk_.error_text(static_cast<int>(-n))};
    }
  }
  page_->write("</body>\n</html>\n");
  return {};
}

}  // namespace report
