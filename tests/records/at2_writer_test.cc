#include "records/at2_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "records/at2.h"
#include "records/registry.h"

namespace records {
namespace {

component sample_component() {
  component c;
  c.dt = 0.005;
  c.channel = "I-ELC180, 2";  // a comma would move the reader's channel: it becomes a blank
  // Cm/s2 values of every size, both zeros, and a count that does not fill the last line.
  c.acceleration = {0.0,    -0.0,     1.0,   -980.665, 3.14159265358979, 1e-290, -2.5e-7, 123456.7,
                    9.9e-4, -0.04096, 1e300, 7};
  return c;
}

// Written, read back through the registry (the format recognised by content): the same count,
// interval and channel, and every value within 5e-9 of itself (9 digits in g); written again,
// the same text.
TEST(At2Writer, RoundTrip) {
  const component c = sample_component();
  const std::vector<std::string> steps = {"mean removed", "highpass 0.1 Hz order 4 acausal"};
  const std::string text = write_at2(c, "Imperial Valley-02, El Centro\nArray #9", steps);
  EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1)),
            "PROCESSED: mean removed; highpass 0.1 Hz order 4 acausal\n"
            "Imperial Valley-02, El Centro Array #9, I-ELC180  2");
  const read_result r = read_any(text, {});
  ASSERT_TRUE(r.ok()) << r.status.what;
  const component& back = r.components.at(0);
  EXPECT_EQ(back.dt, c.dt);
  EXPECT_EQ(back.channel, "I-ELC180  2");
  EXPECT_EQ(back.station, "El Centro Array #9");
  ASSERT_EQ(back.acceleration.size(), c.acceleration.size());
  for (std::size_t i = 0; i < c.acceleration.size(); ++i) {
    EXPECT_NEAR(back.acceleration[i], c.acceleration[i], 5e-9 * std::abs(c.acceleration[i])) << i;
  }
  EXPECT_TRUE(std::signbit(back.acceleration[1]));
  EXPECT_EQ(write_at2(back, "Imperial Valley-02, El Centro\nArray #9", steps), text);
  EXPECT_NE(write_at2(c, "x", {}).find("PROCESSED: nothing\n"), std::string::npos);
}

}  // namespace
}  // namespace records
