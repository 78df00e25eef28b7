// SPDX-License-Identifier: MIT
// A bounded soak: SetChannel after SetChannel through the C boundary into
// the simulated widget over a pty, every frame checked. The full run is
// lumivane-soak --calls 1000000 (figures, not a test).
#include <gtest/gtest.h>

#include "tests/faults/soak_run.h"

namespace lumivane::test {
namespace {

TEST(Soak, TwentyThousandCallsLoseAndCorruptNoFrame) {
  SoakOptions options;
  options.pluginFile = LUMIVANE_PLUGIN_FILE;
  options.calls = 20000;
  const SoakResult result = RunSoak(options);
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(result.calls, 20000u);
  EXPECT_EQ(result.failedCalls, 0u);
  EXPECT_EQ(result.framesChecked + result.framesSuperseded, 20000u);
  EXPECT_EQ(result.framesLost, 0u);
  EXPECT_EQ(result.framesCorrupt, 0u);
  EXPECT_EQ(result.droppedBytes, 0u);
  ASSERT_FALSE(result.rssKb.empty());
  RecordProperty("rss_first_kb", static_cast<int>(result.rssKb.front()));
  RecordProperty("rss_last_kb", static_cast<int>(result.rssKb.back()));
}

}  // namespace
}  // namespace lumivane::test
