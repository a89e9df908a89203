#include "edge/output_file.h"

#include <algorithm>
#include <cerrno>

#include "base/paths.h"

namespace edge {
namespace {

constexpr std::size_t buffer_size = 1 << 20;

base::status refusal(const std::string& path, std::string what) {
  base::status s = base::failure(std::move(what), base::code::io);
  s.file = path;
  return s;
}

}  // namespace

output_file::output_file(disk& d, std::string name, std::string target, int handle,
                         std::string temporary)
    : disk_(d),
      name_(std::move(name)),
      target_(std::move(target)),
      temporary_(std::move(temporary)),
      handle_(handle) {}

output_file::~output_file() {
  if (handle_ > standard_error) (void)disk_.close(handle_);
  if (!committed_ && !temporary_.empty()) (void)disk_.remove(temporary_);
}

bool output_file::write(std::string_view text) {
  if (error_ != 0) return false;
  // Large writes: the rows of a record go out together.
  buffer_ += text;
  return buffer_.size() < buffer_size || flush();
}

bool output_file::flush() {
  if (error_ != 0) return false;
  const write_result r = disk_.write(handle_, buffer_.data(), buffer_.size());
  buffer_.clear();
  error_ = r.error;
  return error_ == 0;
}

base::status output_file::commit() {
  const auto failed = [&](int number) {
    return refusal(name_ == "-" ? "standard output" : name_, disk_.error_text(number));
  };
  if (!flush()) return failed(error_);
  committed_ = true;
  if (handle_ > standard_error) {
    const int closed = disk_.close(handle_);
    handle_ = -1;
    if (closed != 0) {
      committed_ = false;
      return failed(closed);
    }
  }
  if (!temporary_.empty()) {
    if (const int renamed = disk_.rename(temporary_, target_); renamed != 0) {
      committed_ = false;
      return failed(renamed);
    }
  }
  return {};
}

void run_files::add_input(const std::string& path) {
  if (path == "-") return;
  const file_status s = disk_.status(path);
  if (s.exists) inputs_.emplace_back(s.device, s.inode);
}

std::unique_ptr<output_file> run_files::claim(const std::string& path, base::status& why) {
  why = {};
  if (path == "-") {
    if (standard_output_) {
      why = refusal("-", "standard output is named by two outputs");
      return nullptr;
    }
    standard_output_ = true;
    return std::unique_ptr<output_file>(new output_file(disk_, path, {}, standard_output, {}));
  }
  const std::string target = disk_.resolve(path);
  const file_status s = disk_.status(target);
  const std::pair id(s.device, s.inode);
  if (s.exists) {
    if (s.folder) {
      why = refusal(path, "is a folder");
      return nullptr;
    }
    if (std::find(inputs_.begin(), inputs_.end(), id) != inputs_.end()) {
      why = refusal(path, "is read by this run: not replaced");
      return nullptr;
    }
    if (std::find(outputs_.begin(), outputs_.end(), id) != outputs_.end()) {
      why = refusal(path, "is named by two outputs");
      return nullptr;
    }
  } else if (std::find(new_outputs_.begin(), new_outputs_.end(), target) != new_outputs_.end()) {
    why = refusal(path, "is named by two outputs");
    return nullptr;
  }
  if (s.exists && !s.regular) {  // a device or a FIFO: written in place, never replaced
    const int handle = disk_.open(target, open_mode::write_only);
    if (handle < 0) {
      why = refusal(path, disk_.error_text(-handle));
      return nullptr;
    }
    outputs_.push_back(id);
    return std::unique_ptr<output_file>(new output_file(disk_, path, target, handle, {}));
  }
  // A file without a write permission bit was protected on purpose, even from root.
  if (s.exists && (!disk_.writable(target) || (s.permissions & 0222) == 0)) {
    why = refusal(path, "is write-protected: not replaced");
    return nullptr;
  }
  const temporary t = disk_.create_temporary(base::folder_of(target));
  if (t.handle < 0) {
    why = refusal(path, disk_.error_text(-t.handle));
    return nullptr;
  }
  std::unique_ptr<output_file> out(new output_file(disk_, path, target, t.handle, t.name));
  const int kept = s.exists
                       ? disk_.set_owner_and_permissions(t.handle, s.permissions, s.owner, s.group)
                       : disk_.set_owner_and_permissions(t.handle, disk_.new_file_permissions(),
                                                         disk_.status(t.handle).owner,
                                                         disk_.status(t.handle).group);
  if (kept != 0) {
    why =
        refusal(path, s.exists ? "belongs to another user: not replaced" : disk_.error_text(kept));
    return nullptr;  // the temporary goes with the output
  }
  if (s.exists) {
    outputs_.push_back(id);
  } else {
    new_outputs_.push_back(target);
  }
  return out;
}

base::status make_output_folder(disk& d, const std::string& path) {
  const file_status s = d.status(path);
  if (s.exists) {
    return s.folder ? base::status{} : refusal(path, "is not a folder");
  }
  if (const int made = d.make_folder(path); made != 0) {
    return refusal(path, made == ENOENT ? "cannot be made: its parent folder does not exist"
                                        : "cannot be made: " + d.error_text(made));
  }
  return {};
}

}  // namespace edge
