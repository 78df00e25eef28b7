// SPDX-License-Identifier: MIT
// The transmitter thread against the scripted D2XX: what goes on the line,
// in which order, and what happens when a call fails or the link closes.
#include "opendmx/dmx_transmitter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "opendmx/d2xx_fake.h"
#include "opendmx/open_dmx_link.h"
#include "posix/clock_posix.h"
#include "tests/opendmx/wait_until.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_reports.h"

namespace lumivane {
namespace {

using test::WaitUntil;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using K = D2xxCallKind;
using namespace std::chrono_literals;

constexpr size_t kSetupCalls = 8;
// Real time, but packets a millisecond apart so that tests run quickly.
constexpr DmxTiming kFast{1ms, 110us, 16us, 0us};

Universe Filled(uint8_t level) {
  Universe universe;
  for (int channel = 1; channel <= kChannelCount; ++channel) universe[channel] = level;
  return universe;
}

std::vector<D2xxCall> Writes(const D2xxFake& fake) {
  std::vector<D2xxCall> writes;
  for (const auto& call : fake.Calls()) {
    if (call.kind == K::kWrite) writes.push_back(call);
  }
  return writes;
}

class TransmitterTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto thread : reports_.threads) EXPECT_EQ(thread, std::this_thread::get_id());
  }

  bool WaitForWrites(size_t count) {
    return WaitUntil([&] { return fake_.CountOf(K::kWrite) >= count; });
  }

  // The calls after the eight of the start.
  std::vector<D2xxCall> AfterSetup() {
    auto calls = fake_.Calls();
    calls.erase(calls.begin(), calls.begin() + std::min(calls.size(), kSetupCalls));
    return calls;
  }

  D2xxFake fake_;
  test::RecordingReports reports_;
  PosixClock clock_;
  std::unique_ptr<OpenDmxUsbLink> link_ =
      std::make_unique<OpenDmxUsbLink>(fake_, reports_, clock_, kFast);
};

TEST_F(TransmitterTest, SendsNothingUntilAFrameIsStagedSinceTheStart) {
  link_->StageOpenDmxFrame(Filled(9));  // before the start: does not count
  link_->StartOpenDmx();
  std::this_thread::sleep_for(30ms);  // thirty periods
  EXPECT_EQ(fake_.CallCount(), kSetupCalls);

  Universe universe;
  universe[1] = 1;
  universe[256] = 128;
  universe[512] = 255;
  link_->StageOpenDmxFrame(universe);
  ASSERT_TRUE(WaitForWrites(3));
  link_->StopOpenDmx();

  auto calls = AfterSetup();
  ASSERT_GE(calls.size(), 10u);
  ASSERT_EQ(calls.back().kind, K::kClose);
  calls.pop_back();
  ASSERT_EQ(calls.size() % 3, 0u) << "a packet was cut short";
  std::vector<uint8_t> packet{0};
  packet.insert(packet.end(), universe.levels().begin(), universe.levels().end());
  for (size_t i = 0; i < calls.size(); i += 3) {
    EXPECT_EQ(calls[i].kind, K::kSetBreakOn);
    EXPECT_EQ(calls[i + 1].kind, K::kSetBreakOff);
    ASSERT_EQ(calls[i + 2].kind, K::kWrite);
    EXPECT_EQ(calls[i + 2].arguments, std::vector<uint32_t>{513});
    EXPECT_EQ(calls[i + 2].data, packet);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(calls[i + j].handle, 1u);
  }
  EXPECT_THAT(reports_.messages, IsEmpty());
}

TEST_F(TransmitterTest, EveryPacketCarriesOneStagedFrameWholeAndTheLatest) {
  link_->StartOpenDmx();
  // Frames staged far faster than packets go out, each a single level: a
  // packet that mixed two frames would show two levels.
  for (int level = 1; level <= 200; ++level) {
    link_->StageOpenDmxFrame(Filled(static_cast<uint8_t>(level)));
    std::this_thread::sleep_for(50us);
  }
  ASSERT_TRUE(WaitUntil([&] {
    auto writes = Writes(fake_);
    return !writes.empty() && writes.back().data[1] == 200;
  }));
  link_->StopOpenDmx();

  uint8_t previous = 0;
  for (const auto& write : Writes(fake_)) {
    ASSERT_EQ(write.data.size(), 513u);
    EXPECT_EQ(write.data[0], 0);
    uint8_t level = write.data[1];
    EXPECT_EQ(std::count(write.data.begin() + 1, write.data.end(), level), 512) << "torn frame";
    EXPECT_GE(level, previous) << "an older frame went out after a newer one";
    previous = level;
  }
}

TEST_F(TransmitterTest, StopJoinsTheThreadBeforeTheClose) {
  link_->StartOpenDmx();
  link_->StageOpenDmxFrame(Filled(1));
  ASSERT_TRUE(WaitForWrites(2));
  link_->StopOpenDmx();
  EXPECT_FALSE(link_->transmitting());
  auto count = fake_.CallCount();
  EXPECT_EQ(fake_.Calls().back().kind, K::kClose);
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(fake_.CallCount(), count);
}

TEST_F(TransmitterTest, ARestartLeavesOnlyOneTransmitterOnTheNewHandle) {
  link_->StartOpenDmx();
  link_->StageOpenDmxFrame(Filled(1));
  ASSERT_TRUE(WaitForWrites(2));
  link_->StartOpenDmx();
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(fake_.Calls().back().kind, K::kPurge) << "sent before a frame was staged";
  link_->StageOpenDmxFrame(Filled(2));
  auto before = fake_.CountOf(K::kWrite);
  ASSERT_TRUE(WaitForWrites(before + 2));
  link_->StopOpenDmx();

  auto calls = fake_.Calls();
  auto firstClose = std::find_if(calls.begin(), calls.end(),
                                 [](const D2xxCall& c) { return c.kind == K::kClose; });
  ASSERT_NE(firstClose, calls.end());
  EXPECT_EQ(firstClose->handle, 1u);
  for (auto it = firstClose + 1; it != calls.end(); ++it) {
    EXPECT_EQ(it->handle, 2u) << D2xxCallName(it->kind) << " on the old handle";
  }
  EXPECT_THAT(reports_.messages, IsEmpty());
}

TEST_F(TransmitterTest, DestroyingTheLinkStopsTheThreadAndClosesSilently) {
  link_->StartOpenDmx();
  link_->StageOpenDmxFrame(Filled(3));
  ASSERT_TRUE(WaitForWrites(2));
  fake_.FailCall(K::kClose);
  link_.reset();
  auto count = fake_.CallCount();
  EXPECT_EQ(fake_.Calls().back().kind, K::kClose);
  EXPECT_EQ(fake_.CountOf(K::kClose), 1u);
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(fake_.CallCount(), count);
  EXPECT_THAT(reports_.messages, IsEmpty());
}

TEST_F(TransmitterTest, DestroyingAClosedLinkMakesNoCall) {
  link_.reset();
  EXPECT_EQ(fake_.CallCount(), 0u);
}

// A failing call on the line ends the packets; the link stays open and says
// so once, on the host's thread, at the next call into it.
struct LineFailure {
  const char* name;
  K kind;  // the call that fails; its second one
  bool shortWrite;
  const char* message;
};

class LineFails : public TransmitterTest, public ::testing::WithParamInterface<LineFailure> {};

TEST_P(LineFails, StopsPacketsAndIsReportedOnceAtTheNextCall) {
  const auto& failure = GetParam();
  if (failure.shortWrite) {
    fake_.ShortenWrites(512);
  } else {
    fake_.FailCall(failure.kind, 2);
  }
  link_->StartOpenDmx();
  link_->StageOpenDmxFrame(Filled(4));
  ASSERT_TRUE(WaitUntil([&] { return !link_->transmitting(); }));
  auto count = fake_.CallCount();
  EXPECT_EQ(fake_.Calls().back().kind, failure.kind);
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(fake_.CallCount(), count) << "packets went on after the failure";
  EXPECT_THAT(reports_.messages, IsEmpty());
  EXPECT_TRUE(link_->openDmxOpen());

  link_->StageOpenDmxFrame(Filled(5));
  link_->StageOpenDmxFrame(Filled(6));
  EXPECT_THAT(reports_.messages, ElementsAre(failure.message));
  EXPECT_EQ(static_cast<uint8_t>(link_->openDmxFrame()[0]), 6);

  link_->StopOpenDmx();
  EXPECT_EQ(fake_.Calls().back().kind, K::kClose);
  EXPECT_THAT(reports_.messages, ElementsAre(failure.message));
  EXPECT_FALSE(link_->openDmxOpen());
}

INSTANTIATE_TEST_SUITE_P(
    EachLineCall, LineFails,
    ::testing::Values(LineFailure{"BreakOn", K::kSetBreakOn, false, "Write Start Code Failed!"},
                      LineFailure{"BreakOff", K::kSetBreakOff, false, "Write Start Code Failed!"},
                      LineFailure{"Write", K::kWrite, false, "Write DMX Failed!"},
                      LineFailure{"ShortWrite", K::kWrite, true, "Write DMX Failed!"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(TransmitterTest, AFailureIsReportedBeforeARestartAndTheRestartSendsAgain) {
  fake_.FailCall(K::kWrite, 1);
  link_->StartOpenDmx();
  link_->StageOpenDmxFrame(Filled(4));
  ASSERT_TRUE(WaitUntil([&] { return !link_->transmitting(); }));
  link_->StartOpenDmx();
  EXPECT_THAT(reports_.messages, ElementsAre("Write DMX Failed!"));
  EXPECT_TRUE(link_->transmitting());
  link_->StageOpenDmxFrame(Filled(5));
  ASSERT_TRUE(WaitForWrites(3));
  link_->StopOpenDmx();
  EXPECT_THAT(reports_.messages, ElementsAre("Write DMX Failed!"));
}

struct ScheduleCase {
  const char* name;
  std::chrono::microseconds readCost;
  std::chrono::microseconds writeToNextBreak;
  bool keepsPeriod;  // packets start exactly one period apart, else further
};

class Schedule : public ::testing::TestWithParam<ScheduleCase> {};

// Each packet sleeps three times: to the end of the break, to the end of
// the mark after break, and to the start of the next packet. The write
// starts one read after the second deadline.
TEST_P(Schedule, PacketsStartOnePeriodApartUnlessTheyWouldOverlap) {
  const auto& param = GetParam();
  D2xxFake fake;
  // Time moves by the read cost at each read; each sleep pauses a little.
  test::FakeClock clock(param.readCost, test::FakeClock::RealWait::kPause);
  const DmxTiming timing{25ms, 110us, 16us, param.writeToNextBreak};
  DmxTransmitter transmitter(fake, clock, timing);
  transmitter.Start(7);
  transmitter.Stage(Filled(1).levels());
  ASSERT_TRUE(WaitUntil([&] { return clock.Deadlines().size() >= 30; }));
  transmitter.Stop();

  auto sleeps = clock.Deadlines();
  std::vector<Clock::Time> starts;
  for (size_t i = 0; i + 2 < sleeps.size(); i += 3) {
    // Break and mark after break count from the reads after their calls.
    EXPECT_EQ(sleeps[i + 1] - sleeps[i], std::chrono::nanoseconds(param.readCost + 16us));
    auto writeStart = sleeps[i + 1] + param.readCost;
    EXPECT_GE(sleeps[i + 2] - writeStart, timing.writeToNextBreak) << "broke into the packet";
    starts.push_back(sleeps[i + 2]);
  }
  ASSERT_GE(starts.size(), 5u);
  for (size_t i = 1; i < starts.size(); ++i) {
    if (param.keepsPeriod) {
      EXPECT_EQ(starts[i] - starts[i - 1], timing.period);
    } else {
      EXPECT_GT(starts[i] - starts[i - 1], timing.period) << "late packets bunched up";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    WriteCosts, Schedule,
    ::testing::Values(ScheduleCase{"QuickCalls", 1000us, 0us, true},
                      // Four reads per packet at 10 ms each overrun a 25 ms period.
                      ScheduleCase{"CallsOverrunThePeriod", 10000us, 0us, false},
                      // The write starts 3.1 ms into the packet: 23.6 ms after it
                      // is later than the period.
                      ScheduleCase{"BytesStillOnTheLine", 1000us, 23600us, false},
                      ScheduleCase{"BytesOffTheLineInTime", 1000us, 20000us, true}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace lumivane
