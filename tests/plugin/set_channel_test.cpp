// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/case_names.h"
#include "tests/support/driver_caller.h"
#include "tests/support/test_plugin.h"

namespace lumivane::test {
namespace {

using lumivane::test::PrintTo;

constexpr uint8_t kBefore = 7;  // every level before the call

struct SetChannelCase {
  int32_t channel;
  int32_t value;
  int32_t status;
  bool result;
  bool stored;
  int pushes;
};

void PrintTo(const SetChannelCase& c, std::ostream* os) {
  *os << "SetChannel(" << c.channel << ", " << c.value << ")";
}

// Channels 1..512 take levels 0..255; any other level overflows (6) and
// nothing is stored or pushed. Any other channel is rejected without looking
// at the level, and the unchanged universe is pushed all the same.
constexpr SetChannelCase kCases[] = {
    {0, -1, 0, false, false, 1},    {0, 0, 0, false, false, 1},     {0, 255, 0, false, false, 1},
    {0, 256, 0, false, false, 1},   {0, 300, 0, false, false, 1},   {1, -1, 6, false, false, 0},
    {1, 0, 0, true, true, 1},       {1, 255, 0, true, true, 1},     {1, 256, 6, false, false, 0},
    {1, 300, 6, false, false, 0},   {512, -1, 6, false, false, 0},  {512, 0, 0, true, true, 1},
    {512, 255, 0, true, true, 1},   {512, 256, 6, false, false, 0}, {512, 300, 6, false, false, 0},
    {513, -1, 0, false, false, 1},  {513, 0, 0, false, false, 1},   {513, 255, 0, false, false, 1},
    {513, 256, 0, false, false, 1}, {513, 300, 0, false, false, 1}, {600, -1, 0, false, false, 1},
    {600, 0, 0, false, false, 1},   {600, 255, 0, false, false, 1}, {600, 256, 0, false, false, 1},
    {600, 300, 0, false, false, 1},
};

class SetChannelTable : public ::testing::TestWithParam<std::tuple<CallerKind, SetChannelCase>> {
 protected:
  void SetUp() override {
    t.state.deviceType = kDeviceProWidget;
    for (int n = 1; n <= kChannelCount; ++n) t.state.dmxData[n] = kBefore;
  }
  TestPlugin t;
};

TEST_P(SetChannelTable, ResultStatusStoredBytePushes) {
  const auto& [kind, c] = GetParam();
  auto driver = MakeDriverCaller(kind, t.plugin);

  const Outcome outcome = driver->SetChannel(c.channel, c.value);

  EXPECT_EQ(outcome.status, c.status);
  EXPECT_EQ(outcome.result, c.result);
  for (int n = 1; n <= kChannelCount; ++n) {
    const uint8_t expected = c.stored && n == c.channel ? static_cast<uint8_t>(c.value) : kBefore;
    ASSERT_EQ(t.state.dmxData[n], expected) << "channel " << n;
  }
  EXPECT_EQ(t.pro.pushes(), c.pushes);
  if (c.pushes > 0) {
    // The push carries the universe as it is after the call.
    const auto levels = t.state.dmxData.levels();
    EXPECT_TRUE(std::equal(levels.begin(), levels.end(), t.pro.lastSent.begin()));
  }
  EXPECT_EQ(t.openDmx.pushes(), 0);
}

std::string CaseName(const ::testing::TestParamInfo<SetChannelTable::ParamType>& info) {
  const auto& [kind, c] = info.param;
  auto number = [](int32_t n) { return n < 0 ? "minus" + std::to_string(-n) : std::to_string(n); };
  return std::string(KindName(kind)) + "_ch" + number(c.channel) + "_val" + number(c.value);
}

INSTANTIATE_TEST_SUITE_P(AllCallers, SetChannelTable,
                         ::testing::Combine(::testing::ValuesIn(kAllCallers),
                                            ::testing::ValuesIn(kCases)),
                         CaseName);

class SetChannel : public ::testing::TestWithParam<CallerKind> {
 protected:
  TestPlugin t;
  std::unique_ptr<DriverCaller> driver = MakeDriverCaller(GetParam(), t.plugin);
};

TEST_P(SetChannel, FailedPushKeepsTheByteAndTheResultOfTheChannelCheck) {
  t.state.deviceType = kDeviceProWidget;
  t.pro.FailOn("SendProUniverse", Failure(ErrorNumber::kPortWriteFailed));

  const Outcome accepted = driver->SetChannel(5, 200);
  EXPECT_EQ(accepted.status, 8021);
  EXPECT_TRUE(accepted.result);
  EXPECT_EQ(t.state.dmxData[5], 200);
  EXPECT_EQ(accepted.description, DescribeError(ErrorNumber::kPortWriteFailed));

  const Outcome rejected = driver->SetChannel(0, 10);
  EXPECT_EQ(rejected.status, 8021);
  EXPECT_FALSE(rejected.result);
}

TEST_P(SetChannel, BeforeInitStoresAndPushesNowhere) {
  const Outcome outcome = driver->SetChannel(5, 200);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_TRUE(outcome.result);
  EXPECT_EQ(t.state.dmxData[5], 200);
  EXPECT_TRUE(t.log.empty()) << t.log.front();
}

TEST_P(SetChannel, OpenDmxGetsTheWholeUniverseStaged) {
  t.state.deviceType = kDeviceOpenDmx;
  t.state.dmxData[1] = 9;
  ASSERT_TRUE(driver->SetChannel(512, 255).result);
  EXPECT_EQ(t.openDmx.pushes(), 1);
  EXPECT_EQ(t.openDmx.lastStaged[0], 9);
  EXPECT_EQ(t.openDmx.lastStaged[511], 255);
  EXPECT_EQ(t.pro.pushes(), 0);
}

TEST_P(SetChannel, DisableHoldsNothingBack) {
  t.state.deviceType = kDeviceProWidget;
  ASSERT_TRUE(driver->Disable().result);
  EXPECT_FALSE(t.state.outputEnabled);
  EXPECT_TRUE(driver->SetChannel(3, 30).result);
  EXPECT_EQ(t.pro.pushes(), 1);
}

INSTANTIATE_TEST_SUITE_P(AllCallers, SetChannel, ::testing::ValuesIn(kAllCallers), CallerName);

}  // namespace
}  // namespace lumivane::test
