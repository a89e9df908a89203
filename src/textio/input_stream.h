// A forward-only character source for the readers: text in memory, or a file read through a
// buffer. A CR LF pair reads as one line end, so records written on Windows read the same.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace textio {

class input_stream {
 public:
  static constexpr int end = -1;

  // Reads up to n bytes into buffer; returns the count, 0 at the end, or -errno.
  using read_function = std::function<long(char* buffer, std::size_t n)>;

  input_stream() = default;
  // The whole input is the given text (tests and fuzzing).
  explicit input_stream(std::string_view text) : data_(text.data()), size_(text.size()) {}
  // The input comes from read.
  explicit input_stream(read_function read);
  // A stream points into its own buffer: it may move (the buffer moves with it), not be copied.
  input_stream(const input_stream&) = delete;
  input_stream& operator=(const input_stream&) = delete;
  input_stream(input_stream&&) = default;
  input_stream& operator=(input_stream&&) = default;

  // The next character ('\n' for a line end), or end; does not consume it.
  int peek() {
    if (position_ < size_ && data_[position_] != '\r')
      return static_cast<unsigned char>(data_[position_]);
    return peek_slow();
  }
  // Consumes the character that peek returned.
  void skip() {
    position_ += width_;
    width_ = 1;
  }
  int get() {
    const int c = peek();
    if (c != end) skip();
    return c;
  }

  // The characters already in memory and not consumed yet (perhaps not all that follow), for
  // readers that scan ahead; consume takes the first n of them.
  std::string_view ahead() const { return {data_ + position_, size_ - position_}; }
  void consume(std::size_t n) {
    position_ += n;
    width_ = 1;
  }

  // Characters consumed from a stream over text (where a reader stopped).
  std::size_t offset() const { return position_; }

  // Whether a read has found no further characters.
  bool met_end() const { return met_end_; }
  // The errno of a failed read of the file, 0 if none failed.
  int error() const { return error_; }

 private:
  int peek_slow();
  bool refill();  // false when no character is left

  std::vector<char> buffer_;
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t position_ = 0;
  std::size_t width_ = 1;  // characters that the peeked character takes: 2 for CR LF
  read_function read_;
  bool exhausted_ = false;  // the file has nothing more
  bool met_end_ = false;    // peek has returned end
  int error_ = 0;
};

}  // namespace textio
