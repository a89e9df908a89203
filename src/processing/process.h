// The processing of a raw component before any measure, as the command line asks it: mean
// removal, taper, zero pads, Butterworth filters, baseline correction, in that order.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"

namespace processing {

// What to do; nothing at all when nothing is asked (any() is false). Times in s, corners in Hz.
struct steps {
  // The mean removed is that of the samples before this time rather than the whole record's.
  std::optional<double> pre_event;
  // A half-cosine (Hann) taper this long at each end.
  std::optional<double> taper;
  // Butterworth corners: a high-pass, a low-pass, or both (band-pass).
  std::optional<double> highpass;
  std::optional<double> lowpass;
  int order = 4;
  // One pass forward instead of forward and backward.
  bool causal = false;
  // The degree-6 polynomial through the displacement, without constant and linear terms.
  bool baseline = false;

  bool any() const { return pre_event || taper || highpass || lowpass || baseline; }
};

// Whether the steps can be run on a record of n samples dt apart. Usage failures: an order
// outside 1..8, a value that is not a positive number, a high-pass corner not below the
// low-pass corner, causal without a filter, a corner at or above the Nyquist frequency or below
// 1 / duration, a taper longer than half the record, a pre-event window longer than the record
// (the duration is (n - 1) dt). A bad-record failure: a record too short for the baseline fit
// (fewer than 6 samples with the pads).
base::status check(const steps& s, double dt, std::size_t n);
// What can be checked without a record: the order, the signs, the two corners, causal.
base::status check(const steps& s);

struct processed {
  std::vector<double> acceleration;  // cm/s2, the record with its pads
  std::size_t leading_pad = 0;       // zeros added before the record's first sample
  std::size_t trailing_pad = 0;      // and after its last
};

// Runs the steps on a record that check() accepts:
//  1. the mean of the whole record, or of its samples at t < pre_event, is subtracted;
//  2. each end is tapered over `taper` seconds by w(t) = (1 - cos(pi t / taper)) / 2, t from
//     that end;
//  3. with a high-pass of order n at fc, ceil(0.75 n / (fc dt)) zeros are added at each end
//     (1.5 n / fc in all: Converse and Brady 1992, Boore 2005), and kept;
//  4. the high-pass then the low-pass sections filter the padded record, forward and backward
//     (zero phase, magnitude |H|^2) or, causal, forward from rest (magnitude |H|);
//  5. the baseline polynomial is fitted to the displacement of the padded record (integrated
//     from rest at its first sample) and its second derivative subtracted.
processed process(std::span<const double> acceleration, double dt, const steps& s);

// The room the steps work in (as many values as the padded record), kept from one component to
// the next: a run that processes many components on a thread touches that memory once rather
// than once per component (fresh memory costs the operating system a page fault for every 4 KiB).
struct workspace {
  std::vector<double> room;
};
processed process(std::span<const double> acceleration, double dt, const steps& s, workspace& w);

// What each step does with its parameters, one text per step in the order they run, for
// tables, headers and the report: "mean removed", "highpass 0.1 Hz order 4 acausal"...
std::vector<std::string> describe(const steps& s);

// Samples in `seconds` at dt, rounded up (within 1e-9 of a whole number counts as it).
std::size_t samples_in(double seconds, double dt);

}  // namespace processing
