// The transform is kissfft's header-only template in double precision (BSD-3, Debian's
// libkissfft-dev): its real transform of L samples is a complex one of L/2 points.
#include "spectra/fourier/spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <kissfft/kissfft.hh>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace fourier {
namespace {

using transform = kissfft<double>;

bool is_fast(std::size_t n) {
  for (std::size_t p : {2, 3, 5}) {
    while (n % p == 0) n /= p;
  }
  return n == 1;
}

// The transforms of the last few lengths, shared by every thread: a record's components share
// one, and records of one length share it across a batch. Building one costs as much as using
// it. The kissfft object is only read once built: with no factor above 5 its transform keeps
// no scratch space.
std::shared_ptr<const transform> transform_of(std::size_t half) {
  static std::mutex guard;
  static std::vector<std::pair<std::size_t, std::shared_ptr<const transform>>> recent;
  constexpr std::size_t kept = 8;
  const std::lock_guard lock(guard);
  const auto found = std::find_if(recent.begin(), recent.end(),
                                  [&](const auto& entry) { return entry.first == half; });
  if (found != recent.end()) {
    std::rotate(found, found + 1, recent.end());  // the most recent last
    return recent.back().second;
  }
  if (recent.size() == kept) recent.erase(recent.begin());
  recent.emplace_back(half, std::make_shared<const transform>(half, false));
  return recent.back().second;
}

base::status check_record(std::span<const double> acceleration, double dt) {
  if (acceleration.size() < 2) {
    return base::failure("a record of " + std::to_string(acceleration.size()) +
                         " samples: a spectrum needs two or more");
  }
  if (!(dt > 0) || !std::isfinite(dt)) return base::failure("the interval is not positive");
  for (std::size_t j = 0; j < acceleration.size(); ++j) {
    if (!std::isfinite(acceleration[j])) {
      return base::failure("sample " + std::to_string(j + 1) + " is not a finite number");
    }
  }
  return {};
}

}  // namespace

std::size_t transform_length(std::size_t samples) {
  // The smallest 2^a 3^b 5^c at or above half the samples, doubled.
  const std::size_t target = std::max<std::size_t>(1, samples / 2 + samples % 2);
  std::size_t best = std::numeric_limits<std::size_t>::max();
  for (std::size_t p2 = 1; p2 < 2 * target; p2 *= 2) {
    for (std::size_t p23 = p2; p23 < 2 * target; p23 *= 3) {
      std::size_t p = p23;
      while (p < target) p *= 5;
      best = std::min(best, p);
    }
  }
  return 2 * best;
}

spectrum_result amplitude_spectrum(std::span<const double> acceleration, double dt,
                                   std::size_t length) {
  spectrum_result r;
  r.status = check_record(acceleration, dt);
  if (!r.ok()) return r;
  const std::size_t n = acceleration.size();
  if (length == 0) length = transform_length(n);
  if (length < n || length % 2 != 0 || !is_fast(length)) {
    r.status = base::failure("a transform of " + std::to_string(length) + " points for " +
                                 std::to_string(n) + " samples",
                             base::code::usage);
    return r;
  }
  const std::size_t half = length / 2;
  std::vector<double> padded;
  padded.reserve(length);
  padded.assign(acceleration.begin(), acceleration.end());
  padded.resize(length, 0.0);
  std::vector<std::complex<double>> x(half);
  if (half == 1) {
    x[0] = {padded[0] + padded[1], padded[0] - padded[1]};  // DC and Nyquist, packed as below
  } else {
    transform_of(half)->transform_real(padded.data(), x.data());
  }
  r.value.df = 1 / (static_cast<double>(length) * dt);
  std::vector<double>& a = r.value.amplitudes;
  a.resize(half + 1);
  // The zero and Nyquist frequencies are real, and packed into the first value.
  a[0] = std::abs(x[0].real()) * dt;
  a[half] = std::abs(x[0].imag()) * dt;
  for (std::size_t k = 1; k < half; ++k) {
    const double re = x[k].real(), im = x[k].imag();
    a[k] = std::sqrt(re * re + im * im) * dt;
  }
  return r;
}

spectrum_result effective_amplitude(const spectrum& first, const spectrum& second) {
  spectrum_result r;
  if (first.df != second.df || first.amplitudes.size() != second.amplitudes.size()) {
    r.status = base::failure("the two components' spectra are not on one frequency grid");
    return r;
  }
  r.value.df = first.df;
  r.value.amplitudes.resize(first.amplitudes.size());
  for (std::size_t k = 0; k < first.amplitudes.size(); ++k) {
    const double a1 = first.amplitudes[k], a2 = second.amplitudes[k];
    r.value.amplitudes[k] = std::sqrt((a1 * a1 + a2 * a2) / 2);
  }
  return r;
}

spectrum_result effective_amplitude(std::span<const double> first, std::span<const double> second,
                                    double dt) {
  const std::size_t length = transform_length(std::max(first.size(), second.size()));
  spectrum_result one = amplitude_spectrum(first, dt, length);
  if (!one.ok()) return one;
  spectrum_result two = amplitude_spectrum(second, dt, length);
  if (!two.ok()) return two;
  return effective_amplitude(one.value, two.value);
}

}  // namespace fourier
