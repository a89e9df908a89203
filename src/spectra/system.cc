// The only file of sdofspec that calls the operating system.
#include "spectra/system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace spectra {
namespace {

bool write_all(int fd, std::string_view text, int& error) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

class real_env final : public environment {
 public:
  explicit real_env(bool show_progress) : show_progress_(show_progress) {}

  bool read_file(const std::string& path, std::string& content, std::string& why) override {
    const bool standard_input = path == "-";
    const int fd = standard_input ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      why = std::strerror(errno);
      return false;
    }
    content.clear();
    // A file's size known, its text grows in place: no copying as it grows.
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
      content.reserve(static_cast<std::size_t>(status.st_size));
    }
    char buffer[1 << 16];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        why = std::strerror(errno);
        if (!standard_input) ::close(fd);
        return false;
      }
      if (n == 0) break;
      content.append(buffer, static_cast<std::size_t>(n));
    }
    if (!standard_input) ::close(fd);
    return true;
  }

  void report(std::string_view line) override {
    std::lock_guard lock(mutex_);
    std::string text;
    if (progress_shown_) text = "\r\033[K";  // the message replaces the progress line
    text += line;
    text += '\n';
    int error = 0;
    write_all(STDERR_FILENO, text, error);
    progress_shown_ = false;
  }

  void progress(std::size_t done, std::size_t total, double seconds) override {
    if (!show_progress_) return;
    std::lock_guard lock(mutex_);
    constexpr int width = 30;
    const int filled = static_cast<int>(width * done / total);
    char line[160];
    const int n = std::snprintf(line, sizeof line, "\r[%.*s%*s] %zu/%zu records, %.1f s%s", filled,
                                "==============================", width - filled, "", done, total,
                                seconds, done == total ? "\n" : "");
    int error = 0;
    write_all(STDERR_FILENO, std::string_view(line, static_cast<std::size_t>(n)), error);
    progress_shown_ = done != total;
  }

 private:
  bool show_progress_;
  bool progress_shown_ = false;
  std::mutex mutex_;
};

class file_out final : public output {
 public:
  explicit file_out(std::string name) : name_(std::move(name)) {
    if (name_.empty()) {
      fd_ = STDOUT_FILENO;
      return;
    }
    temporary_ = name_ + ".partial";
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) error_ = errno;
  }
  ~file_out() override {
    if (!name_.empty() && fd_ >= 0) ::close(fd_);
    if (!finished_ && !temporary_.empty()) ::unlink(temporary_.c_str());
  }

  bool write(std::string_view text) override {
    if (error_ != 0) return false;
    // Large writes: the rows of a record go out together.
    buffer_ += text;
    if (buffer_.size() >= (1 << 20)) return flush();
    return true;
  }

  bool finish() override {
    if (error_ != 0 || !flush()) return false;
    if (name_.empty()) return true;
    if (::close(fd_) != 0) {
      error_ = errno;
      fd_ = -1;
      return false;
    }
    fd_ = -1;
    if (::rename(temporary_.c_str(), name_.c_str()) != 0) {
      error_ = errno;
      return false;
    }
    finished_ = true;
    return true;
  }

  std::string error() const override {
    return (name_.empty() ? std::string("standard output") : name_) + ": " + std::strerror(error_);
  }

 private:
  bool flush() {
    if (!write_all(fd_, buffer_, error_)) return false;
    buffer_.clear();
    return true;
  }

  std::string name_, temporary_;
  int fd_ = -1;
  int error_ = 0;
  bool finished_ = false;
  std::string buffer_;
};

}  // namespace

std::unique_ptr<environment> real_environment(bool show_progress) {
  return std::make_unique<real_env>(show_progress);
}

std::unique_ptr<output> file_output(const std::string& name) {
  return std::make_unique<file_out>(name);
}

bool write_whole_file(const std::string& path, const std::string& content) {
  file_out out(path);
  return out.write(content) && out.finish();
}

bool make_folder(const std::string& path) {
  std::string partial;
  for (std::size_t at = 0; at != std::string::npos;) {
    at = path.find('/', at + 1);
    partial = path.substr(0, at);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  struct stat s;
  return ::stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

bool standard_error_is_terminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace spectra
