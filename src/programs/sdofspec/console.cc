#include "programs/sdofspec/console.h"

#include <cstdio>

#include "edge/diagnostic.h"

namespace sdofspec {

void console::put(const std::string& text) {
  (void)disk_.write(edge::standard_error, text.data(), text.size());
}

void console::report(const base::status& s, bool warning) {
  std::lock_guard lock(mutex_);
  std::string text;
  if (progress_shown_) text = "\r\033[K";  // the message replaces the progress line
  text += edge::diagnostic("sdofspec", s, warning);
  text += '\n';
  put(text);
  progress_shown_ = false;
}

void console::progress(std::size_t done, std::size_t total, double seconds) {
  if (!show_progress_) return;
  std::lock_guard lock(mutex_);
  constexpr int width = 30;
  const int filled = static_cast<int>(width * done / total);
  char line[160];
  const int n = std::snprintf(line, sizeof line, "\r[%.*s%*s] %zu/%zu records, %.1f s%s", filled,
                              "==============================", width - filled, "", done, total,
                              seconds, done == total ? "\n" : "");
  put(std::string(line, static_cast<std::size_t>(n)));
  progress_shown_ = done != total;
}

}  // namespace sdofspec
