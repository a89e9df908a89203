// sdofspec's pictures and report page: per record, its spectrum and its tripartite plot as SVG
// files in a folder, and one self-contained HTML page: what was run, a table of the intensity
// measures of every record (and the words of every record that failed), then per record what
// was read, its measures and its pictures. The page is written as the records come: sections
// go to a temporary file beside it and are copied in at the end, so memory does not grow with
// the number of records.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/status.h"
#include "edge/disk.h"
#include "edge/output_file.h"
#include "plot/figures.h"
#include "report/record.h"

namespace report {

// What the page says was run.
struct run_info {
  std::string title;              // "Response spectra"
  std::string version;            // "sdofspec 1.2.0"
  std::string date;               // UTC, ISO 8601
  std::string command_line;       // as typed, quoted where a shell needs it
  std::string dampings;           // "0.02, 0.05"
  std::string periods;            // "nga-west2: 111 periods from 0.01 to 20 s"
  bool continuous_peaks = false;  // the spectra's peaks over continuous time, not at the samples
  std::string units;              // the units of the tables
};

class writer final : public record_sink {
 public:
  // write_picture(name, content) puts a picture in the folder; false when it cannot.
  using picture_writer = std::function<bool(const std::string& name, const std::string& content)>;

  // Pictures go through write_picture when it is set; the page to `page` when it is set, its
  // sections through a temporary file of `disk` in `scratch_folder` ("" the current one).
  writer(picture_writer write_picture, edge::output_file* page, edge::disk& disk,
         const std::string& scratch_folder, run_info info,
         plot::spectrum_scale scale = plot::spectrum_scale::logarithmic);
  ~writer() override;
  void record(const record_result& r) override;
  void failed(const base::status& s) override;

  // Completes the page (its output is still to be committed): ok, or why not.
  base::status finish();
  // The pictures that could not be written.
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  void section(const std::string& text);

  picture_writer write_picture_;
  plot::spectrum_scale scale_;
  std::string spectra_note_;  // after the record's name in the spectra's titles
  edge::output_file* page_;
  edge::disk& disk_;
  std::string scratch_folder_;
  edge::temporary scratch_;
  int scratch_error_ = 0;
  std::vector<std::string> names_;  // of the pictures, to keep them apart
  std::size_t records_ = 0, failed_ = 0;
  std::vector<std::string> failures_;
};

// A file name for a record: the base names of its files without extension, joined by +,
// with anything but letters, digits and ._+- replaced.
std::string picture_name(const std::string& record);

// A number for people: four significant digits, 0 for what is zero within rounding.
std::string number(double value, int digits = 4);

}  // namespace report
