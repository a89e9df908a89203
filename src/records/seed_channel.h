// What a SEED channel code (band, instrument, orientation: HNE, BHZ, HN1) says of its
// direction, for the formats that carry such codes (miniSEED, SAC, ESM) but no azimuth.
#pragma once

#include <optional>
#include <string_view>

namespace records {

struct seed_orientation {
  std::optional<double> azimuth;  // degrees from north: N is 0, E is 90; 1, 2, 3 say nothing
  bool vertical = false;          // Z
};

// Only codes of a band letter and a motion-sensor letter (H, L, G, M, N) are read: other names
// that end in N or E ("DWN", "ONE") say nothing.
inline seed_orientation orientation_of_seed_channel(std::string_view code) {
  constexpr std::string_view bands = "FGDCESHBMLVURPTQAO", sensors = "HLGMN";
  if (code.size() != 3 || bands.find(code[0]) == std::string_view::npos ||
      sensors.find(code[1]) == std::string_view::npos) {
    return {};
  }
  switch (code[2]) {
    case 'Z':
      return {.vertical = true};
    case 'N':
      return {.azimuth = 0.0};
    case 'E':
      return {.azimuth = 90.0};
    default:
      return {};
  }
}

}  // namespace records
