#include "records/registry.h"

#include <array>
#include <string>

#include "records/at2.h"
#include "records/cosmos.h"
#include "records/dmg.h"
#include "records/esm.h"
#include "records/knet.h"
#include "records/mseed.h"
#include "records/sac.h"
#include "records/smc.h"
#include "records/table.h"

namespace records {
namespace {

// In the order they are tried: the most particular signatures first, sdofresp's table (any
// four items over lines of numbers) last.
constexpr std::array all = {
    format{"cosmos", "COSMOS V1/V2 (acceleration blocks)", is_cosmos, read_cosmos},
    format{"dmg", "CSMIP/DMG V1/V2 (acceleration of each channel)", is_dmg, read_dmg},
    format{"smc", "USGS SMC (one component in cm/s2)", is_smc, read_smc},
    format{"at2", "PEER NGA .AT2 (one component in g)", is_at2, read_at2},
    format{"knet", "K-NET and KiK-net ASCII (NIED; one component in counts)", is_knet, read_knet},
    format{"esm", "ESM and ITACA ASCII (DYNA 1.0 and 1.2; one component)", is_esm, read_esm},
    format{"mseed", "miniSEED 2 (one component per channel, counts)", is_mseed, read_mseed},
    format{"sac", "SAC binary (one component, either byte order)", is_sac, read_sac},
    format{"sac-text", "SAC alphanumeric (one component)", is_sac_alphanumeric,
           read_sac_alphanumeric},
    format{"table", "sdofresp's table (time and three components)", is_table,
           [](std::string_view bytes, const read_options& o) { return read_table(bytes, o); }},
};

}  // namespace

std::span<const format> formats() {
  return all;
}

const format* format_named(std::string_view name) {
  for (const format& f : all) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

base::status recognise(std::string_view head, const format* forced) {
  if (forced) return {};
  head = head.substr(0, head_size);
  for (const format& f : all) {
    if (f.recognises(head)) return {};
  }
  std::string names;
  for (const format& f : all) names += (names.empty() ? "" : ", ") + std::string(f.name);
  return base::failure_at_line(
      1, "not a record of any format read here (" + names + "); --format NAME reads it as one");
}

read_result read_any(std::string_view bytes, const read_options& options, const format* forced) {
  if (forced) return forced->read(bytes, options);
  const std::string_view head = bytes.substr(0, head_size);
  for (const format& f : all) {
    if (f.recognises(head)) return f.read(bytes, options);
  }
  return refused(recognise(head));
}

}  // namespace records
