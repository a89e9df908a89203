// The measures of the suite, each defined in a file of its own.
#pragma once

#include "measures/measure.h"

namespace measures {

extern const measure peaks;      // peaks.cc: PGA, PGV, PGD
extern const measure arias;      // arias.cc: Arias intensity, D5-75, D5-95, a_rms
extern const measure cav;        // cav.cc: CAV, CAV_STD, CAV5
extern const measure bracketed;  // bracketed.cc: the bracketed duration
// spectrum_intensity.cc: SI, VSI, ASI
extern const measure spectrum_intensity_measure;
extern const measure velocity_spectrum_intensity;
extern const measure acceleration_spectrum_intensity;
extern const measure spectral_shape;  // spectral_shape.cc: T of the peak PSa, Sa_avg

}  // namespace measures
