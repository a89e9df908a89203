// Runs of spaces in text records, skipped eight bytes at a time: the values of K-NET and SAC
// alphanumeric files are right-justified in columns, a few spaces before each.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace records {

// The first byte at or after p that is not a space (end if none).
inline const char* skip_spaces(const char* p, const char* end) {
  if constexpr (std::endian::native == std::endian::little) {
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      const std::uint64_t other = word ^ 0x2020202020202020u;  // zero where a space is
      if (other != 0) return p + std::countr_zero(other) / 8;
      p += 8;
    }
  }
  while (p < end && *p == ' ') ++p;
  return p;
}

}  // namespace records
