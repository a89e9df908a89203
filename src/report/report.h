// sdofspec's pictures and report page: per record, its spectrum and its tripartite plot as
// SVG files in a folder, and one self-contained HTML page with the intensity measures of all
// records first and then, per record behind a summary line, its tables and pictures.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "report/record.h"

namespace report {

class pictures final : public record_sink {
 public:
  // write_file(name, content) puts a picture in the folder; false when it cannot.
  using file_writer = std::function<bool(const std::string& name, const std::string& content)>;

  // Pictures go through write_file when it is set; the page is gathered when page is true.
  pictures(file_writer write_file, bool page);
  void record(const record_result& r) override;

  // The whole page; call once every record is in.
  std::string page(const std::string& title) const;
  // The pictures that could not be written.
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  file_writer write_file_;
  bool page_;
  std::vector<std::string> names_;  // of the pictures, to keep them apart
  std::string summary_rows_, sections_;
  std::size_t records_ = 0;
  std::vector<std::string> failures_;
};

// A file name for a record: the base names of its files without extension, joined by +,
// with anything but letters, digits and ._+- replaced.
std::string picture_name(const std::string& record);

}  // namespace report
