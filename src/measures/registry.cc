#include "measures/registry.h"

#include <cassert>

namespace measures {

std::span<const measure> all() {
  // Built on first use: the measures are defined in other files.
  static const std::vector<measure> list = {peaks,
                                            arias,
                                            cav,
                                            bracketed,
                                            spectrum_intensity_measure,
                                            velocity_spectrum_intensity,
                                            acceleration_spectrum_intensity,
                                            spectral_shape};
  return list;
}

std::size_t column_index(std::string_view name) {
  std::size_t i = 0;
  for (const measure& m : all()) {
    for (const tables::column& c : m.columns) {
      if (c.name == name) return i;
      ++i;
    }
  }
  assert(false && "no such column");
  return i;
}

}  // namespace measures
