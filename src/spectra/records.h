// Ground-motion records as sdofspec reads them: the layout that sdofresp reads (a header of
// four items, then time and three accelerations per line, by the same list-directed rules)
// and PEER NGA .AT2 files (one component in g). Pure: text in, values or where reading
// stopped out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace spectra {

enum class acceleration_unit { g, gal, m_per_s2 };

// The standard acceleration of gravity, cm/s2.
inline constexpr double standard_gravity = 980.665;

// "g", "gal", "cm/s2" (also cm/s^2, cm/s/s), "m/s2" (also m/s^2, m/s/s); case is ignored.
std::optional<acceleration_unit> parse_unit(std::string_view text);
// cm/s2 per unit.
double in_gal(acceleration_unit unit);

struct component {
  std::string name;
  std::vector<double> acceleration;  // cm/s2, one value per sample
  bool vertical = false;
};

struct ground_motion {
  double dt = 0;  // s
  std::vector<component> components;
  bool at2 = false;
};

// Where and why reading stopped; line 0 when the text was read whole.
struct read_error {
  std::size_t line = 0;
  std::string message;
};

struct read_result {
  ground_motion record;
  read_error error;
  bool ok() const { return error.message.empty(); }
};

// Reads either layout, told apart by content: an .AT2 file names NPTS on its fourth line.
// unit_if_unstated is the unit of a record in sdofresp's layout whose header names none.
// A table of halves_from bytes or more is read in two halves at once, to the same result.
inline constexpr std::size_t read_in_halves_from = 1 << 20;
read_result read_record(std::string_view text,
                        std::optional<acceleration_unit> unit_if_unstated = std::nullopt,
                        std::size_t halves_from = read_in_halves_from);

// Whether an AT2 component name stands for the vertical (UP, DWN, V, VER, Z and the like).
bool is_vertical_name(std::string_view name);

// "RSN123_..." gives "RSN123", the record number of the PEER database; empty otherwise.
std::string record_sequence_number(std::string_view path);

// A list of record paths, one per line (blank lines and lines starting with # skipped).
std::vector<std::string> read_path_list(std::string_view text);

}  // namespace spectra
