// sdofspec's words on standard error: failures and warnings as "sdofspec: FILE:LINE: what",
// and a progress line when standard error is a terminal.
#pragma once

#include <mutex>

#include "edge/disk.h"
#include "programs/sdofspec/run.h"

namespace sdofspec {

class console final : public reporter {
 public:
  explicit console(edge::disk& d) : disk_(d), show_progress_(d.terminal(edge::standard_error)) {}
  void report(const base::status& s, bool warning) override;
  void progress(std::size_t done, std::size_t total, double seconds) override;

 private:
  void put(const std::string& text);
  edge::disk& disk_;
  bool show_progress_;
  bool progress_shown_ = false;
  std::mutex mutex_;
};

}  // namespace sdofspec
