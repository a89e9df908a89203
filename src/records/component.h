// One component of a ground-motion record as every reader delivers it, whatever the format:
// samples in cm/s2 at a constant interval, and what the file says about where and when they
// were recorded. Nothing after the readers knows which format a component came from.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/physics.h"
#include "base/status.h"
#include "base/time.h"

namespace records {

struct component {
  std::vector<double> acceleration;     // cm/s2, one value per sample
  double dt = 0;                        // s
  std::string unit;                     // the unit the file gave its values in ("g", "cm/s2",
                                        // "counts"), before they were turned into cm/s2
  std::string channel;                  // the file's own name for it: HNE, 360, N-S, EW2, UP...
  std::optional<double> azimuth;        // degrees clockwise from north, where the file says
  bool vertical = false;                // up or down, where the file says (or its name does)
  std::string network, station;         // codes, where known
  std::string location;                 // SEED location code; KiK-net "borehole" or "surface"
  std::string event;                    // the event's id or origin time, as the file gives it
  std::optional<base::utc_time> start;  // of the first sample, where known
  std::size_t first_line = 0;           // the line of the first sample (text formats)
  std::size_t first_byte = 0;           // the byte offset of the first sample (binary formats)
};

// What a reader may be told from the command line.
struct read_options {
  // The unit of values whose file does not name one (--units).
  std::optional<base::acceleration_unit> units;
  // For files of counts (miniSEED, SAC of counts): counts per unit of `units`.
  std::optional<double> counts_per_unit;
  // A component of more samples is refused: memory stays bounded whatever a file claims.
  std::size_t most_samples = 100'000'000;
};

struct read_result {
  std::vector<component> components;
  base::status status;                 // ok, or where and why reading stopped
  std::vector<base::status> warnings;  // read, but worth a word (where known: the line)
  bool ok() const { return status.ok(); }
};

// A result that holds only a failure.
inline read_result refused(base::status why) {
  read_result r;
  r.status = std::move(why);
  return r;
}

}  // namespace records
