// The unit vectors of the 180 angles of the rotated peaks, padded to whole vectors.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels {

inline constexpr int angles = 180;
inline constexpr std::size_t padded_angles = 184;  // a multiple of 8; the padding is (0, 0)
inline constexpr std::size_t angle_block = 8;
inline constexpr std::size_t angle_blocks = padded_angles / angle_block;  // 23
inline constexpr std::size_t padded_blocks = 24;
// Within a block of eight angles, no angle is farther than 3.5 degrees (0.0610865 rad) from
// the block's centre: a point's projection on any of them exceeds the projection on the
// centre by at most its radius times this (with room for rounding).
inline constexpr double block_half_width = 0.0611;

struct angle_table {
  alignas(64) double c[padded_angles];
  alignas(64) double s[padded_angles];
  alignas(64) double centre_c[padded_blocks];  // the centre of each block
  alignas(64) double centre_s[padded_blocks];
};

// cos and sin of a * pi / 180 for a = 0 to 179.
const angle_table& unit_vectors();

// peaks[a] = max(peaks[a], |x c[a] + y s[a]|) for every angle (vector lanes; peaks holds
// padded_angles values, 64-byte aligned).
void fold_point(const angle_table& t, double x, double y, double* peaks);

// The kernels below work on histories of many oscillators side by side, u[i * stride + lane],
// a vector of lane_count() lanes at a time from lane first.
std::size_t lane_count();

// The points farthest from the origin, along the axes and along the diagonals:
// extreme[k * lane_count() + l] for lane first + l.
inline constexpr int extremes = 5;
void scan_extremes(const double* u1, const double* u2, std::size_t length, std::size_t stride,
                   std::size_t first, std::size_t* extreme);

// Folds every point whose squared radius (times 1 + 1e-12) reaches the lane's threshold into
// the lane's peaks (peaks + l * padded_angles for lane first + l), skipping the blocks of
// angles that it cannot raise: those whose smallest peak (block_low + l * padded_blocks, a
// lower bound) its projection on the block's centre plus its radius times block_half_width
// stays below.
void fold_candidates(const angle_table& t, const double* u1, const double* u2, std::size_t length,
                     std::size_t stride, std::size_t first, const double* threshold, double* peaks,
                     double* block_low);

}  // namespace kernels
