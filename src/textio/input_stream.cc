// Buffered reading with CR LF folding across buffer boundaries.
#include "textio/input_stream.h"

#include <cstring>
#include <utility>

namespace textio {
namespace {
constexpr std::size_t read_size = 64 * 1024;
}

input_stream::input_stream(read_function read)
    : buffer_(read_size), data_(buffer_.data()), read_(std::move(read)) {}

int input_stream::peek_slow() {
  width_ = 1;
  if (position_ >= size_ && !refill()) {
    met_end_ = true;
    return end;
  }
  if (data_[position_] != '\r') return static_cast<unsigned char>(data_[position_]);
  // A CR is a line end only together with the LF after it, which may be in the next block.
  if (position_ + 1 >= size_) refill();
  if (position_ + 1 < size_ && data_[position_ + 1] == '\n') {
    width_ = 2;
    return '\n';
  }
  return '\r';
}

bool input_stream::refill() {
  if (!read_ || exhausted_) return position_ < size_;
  // Keep what is not consumed yet (at most a CR waiting for its LF).
  const std::size_t kept = size_ - position_;
  std::memmove(buffer_.data(), data_ + position_, kept);
  position_ = 0;
  size_ = kept;
  const long count = read_(buffer_.data() + kept, buffer_.size() - kept);
  if (count <= 0) {
    if (count < 0) error_ = static_cast<int>(-count);
    exhausted_ = true;
  } else {
    size_ += static_cast<std::size_t>(count);
  }
  return position_ < size_;
}

}  // namespace textio
