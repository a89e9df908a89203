#include "processing/process.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "base/numbers.h"
#include "processing/baseline.h"
#include "processing/butterworth.h"
#include "processing/sos_filter.h"

namespace processing {
namespace {

// Values as given, to the last digit; values worked out (durations, the Nyquist frequency, the
// pads), to 6 digits.
std::string seconds(double s) {
  return base::shortest(s) + " s";
}
std::string hertz(double f) {
  return base::shortest(f) + " Hz";
}
std::string rounded(double v, const char* unit) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g %s", v, unit);
  return text;
}

// Zeros at each end for a high-pass of order n at fc: half of 1.5 n / fc.
double pad_seconds(const steps& s) {
  return 0.75 * s.order / *s.highpass;
}

// The mean of x, in four interleaved partial sums (sample i in sum i % 4) added pairwise.
double mean(std::span<const double> x) {
  double sums[4] = {};
  std::size_t i = 0;
  for (; i + 4 <= x.size(); i += 4) {
    for (std::size_t l = 0; l < 4; ++l) sums[l] += x[i + l];
  }
  for (std::size_t l = 0; i < x.size(); ++i, ++l) sums[l] += x[i];
  return ((sums[0] + sums[1]) + (sums[2] + sums[3])) / static_cast<double>(x.size());
}

void taper(std::span<double> x, double length, double dt) {
  const std::size_t n = x.size();
  for (std::size_t i = 0; i < n - 1 - i; ++i) {
    const double t = static_cast<double>(i) * dt;
    if (t >= length) break;
    const double w = (1 - std::cos(std::numbers::pi * t / length)) / 2;
    x[i] *= w;
    x[n - 1 - i] *= w;
  }
}

base::status usage(std::string what) {
  return base::failure(std::move(what), base::code::usage);
}

}  // namespace

std::size_t samples_in(double seconds, double dt) {
  const double count = seconds / dt;
  const double whole = std::round(count);
  if (std::abs(count - whole) <= 1e-9 * std::max(1.0, whole))
    return static_cast<std::size_t>(whole);
  return static_cast<std::size_t>(std::ceil(count));
}

base::status check(const steps& s) {
  if (s.order < 1 || s.order > highest_order) {
    return usage("filter order " + std::to_string(s.order) + " is not from 1 to 8");
  }
  const auto positive = [](const std::optional<double>& v) {
    return !v || (std::isfinite(*v) && *v > 0);
  };
  if (!positive(s.highpass)) return usage("the highpass corner is not a positive number");
  if (!positive(s.lowpass)) return usage("the lowpass corner is not a positive number");
  if (!positive(s.taper)) return usage("the taper length is not a positive number");
  if (!positive(s.pre_event)) return usage("the pre-event time is not a positive number");
  if (s.highpass && s.lowpass && !(*s.highpass < *s.lowpass)) {
    return usage("highpass corner " + hertz(*s.highpass) + " is not below lowpass corner " +
                 hertz(*s.lowpass));
  }
  if (s.causal && !s.highpass && !s.lowpass) return usage("causal without a filter");
  return {};
}

base::status check(const steps& s, double dt, std::size_t n) {
  if (base::status bad = check(s)) return bad;
  if (!(dt > 0) || !std::isfinite(dt)) return base::failure("the interval is not positive");
  if (n < 2) return base::failure("fewer than two samples");
  const double duration = static_cast<double>(n - 1) * dt;
  const double nyquist = 0.5 / dt;
  const auto corner = [&](const char* name, const std::optional<double>& fc) -> base::status {
    if (!fc) return {};
    const std::string what = std::string(name) + " corner " + hertz(*fc);
    if (*fc >= nyquist) {
      return usage(what + " is not below the Nyquist frequency " + rounded(nyquist, "Hz") +
                   " of samples " + seconds(dt) + " apart");
    }
    if (*fc * duration < 1) {
      return usage(what + " is below 1 / duration of the " + rounded(duration, "s") + " record");
    }
    return {};
  };
  if (base::status bad = corner("highpass", s.highpass)) return bad;
  if (base::status bad = corner("lowpass", s.lowpass)) return bad;
  if (s.taper && *s.taper > duration / 2) {
    return usage("taper " + seconds(*s.taper) + " is longer than half the " +
                 rounded(duration, "s") + " record");
  }
  if (s.pre_event && *s.pre_event > duration) {
    return usage("pre-event time " + seconds(*s.pre_event) + " is beyond the " +
                 rounded(duration, "s") + " record");
  }
  const std::size_t pads = s.highpass ? 2 * samples_in(pad_seconds(s), dt) : 0;
  if (s.baseline && n + pads < 6) {
    return base::failure(std::to_string(n + pads) +
                         " samples with the pads: too few for the baseline fit");
  }
  return {};
}

processed process(std::span<const double> acceleration, double dt, const steps& s) {
  workspace w;
  return process(acceleration, dt, s, w);
}

processed process(std::span<const double> acceleration, double dt, const steps& s, workspace& w) {
  assert(check(s, dt, acceleration.size()).ok());
  processed out;
  if (!s.any()) {
    out.acceleration.assign(acceleration.begin(), acceleration.end());
    return out;
  }
  const std::size_t n = acceleration.size();
  const std::size_t pad = s.highpass ? samples_in(pad_seconds(s), dt) : 0;
  out.leading_pad = out.trailing_pad = pad;
  out.acceleration.assign(n + 2 * pad, 0.0);
  const std::span<double> record(out.acceleration.data() + pad, n);
  std::copy(acceleration.begin(), acceleration.end(), record.begin());

  const std::size_t window =
      s.pre_event ? std::clamp<std::size_t>(samples_in(*s.pre_event, dt), 1, n) : n;
  const double offset = mean(record.first(window));
  for (double& a : record) a -= offset;
  if (s.taper) taper(record, *s.taper, dt);

  std::vector<section> sections;
  if (s.highpass) sections = butterworth_highpass(s.order, *s.highpass, dt);
  if (s.lowpass) {
    const std::vector<section> low = butterworth_lowpass(s.order, *s.lowpass, dt);
    sections.insert(sections.end(), low.begin(), low.end());
  }
  if (sections.empty() && !s.baseline) return out;
  // One room for the filter's blocks and then the baseline's displacement.
  const std::size_t size = out.acceleration.size();
  if (w.room.size() < size) w.room.resize(size);
  const std::span<double> room(w.room.data(), size);
  if (!sections.empty()) {
    if (s.causal) {
      std::vector<double> rest(2 * sections.size(), 0.0);
      detail::filter(sections, out.acceleration, rest, lanes_in::vectors, room);
    } else {
      detail::filter_forward_backward(sections, out.acceleration, lanes_in::vectors, room);
    }
  }
  if (s.baseline) detail::remove_baseline(out.acceleration, dt, lanes_in::vectors, room);
  return out;
}

std::vector<std::string> describe(const steps& s) {
  std::vector<std::string> texts;
  if (!s.any()) return texts;
  texts.push_back(s.pre_event ? "mean of the first " + seconds(*s.pre_event) + " removed"
                              : "mean removed");
  if (s.taper) texts.push_back("Hann taper " + seconds(*s.taper) + " at each end");
  if (s.highpass) {
    texts.push_back("zero pads " + rounded(pad_seconds(s), "s") + " at each end");
  }
  const std::string kind = s.causal ? " causal" : " acausal";
  const std::string order = " order " + std::to_string(s.order);
  if (s.highpass) texts.push_back("highpass " + hertz(*s.highpass) + order + kind);
  if (s.lowpass) texts.push_back("lowpass " + hertz(*s.lowpass) + order + kind);
  if (s.baseline) texts.push_back("baseline polynomial t^2 to t^6 removed");
  return texts;
}

}  // namespace processing
