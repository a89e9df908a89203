// The benchmarks' synthetic accelerograms: white noise (xorshift, seeded) through a Kanai-Tajimi
// filter (ground at 2.5 Hz, damping 0.6), times an envelope of time; cm/s2 before any scaling.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace bench {

// Saragoni-Hart's rise to a peak of 1 at 8 s.
inline double saragoni_hart(double t) {
  return std::pow(t / 8, 2) * std::exp(2 * (1 - t / 8));
}

template <class Envelope>
std::vector<double> filtered_noise(std::size_t n, double dt, unsigned seed, Envelope envelope) {
  std::vector<double> a(n);
  std::uint64_t state = 0x9E3779B97F4A7C15u * (seed + 1);
  const auto noise = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5;
  };
  const double wg = 2 * std::numbers::pi * 2.5, zg = 0.6;
  double x = 0, v = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * dt;
    const double acc = -2 * zg * wg * v - wg * wg * x - noise() * 4000;
    v += acc * dt;
    x += v * dt;
    a[i] = envelope(t) * (-2 * zg * wg * v - wg * wg * x);
  }
  return a;
}

}  // namespace bench
