// The measures of the suite, each defined in a file of its own.
#pragma once

#include "measures/measure.h"

namespace measures {

extern const measure peaks;                       // peaks.cc: PGA, PGV, PGD
extern const measure arias;                       // arias.cc: Arias intensity, D5-75, D5-95
extern const measure cav;                         // cav.cc: CAV
extern const measure spectrum_intensity_measure;  // spectrum_intensity.cc: SI

}  // namespace measures
