// SPDX-License-Identifier: MIT
// The transmitter thread against the scripted D2XX: what goes on the line,
// in which order, and what happens when a call fails or the link closes.
#include "opendmx/dmx_transmitter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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
// Real time, but packets a millisecond apart and retries 5 ms apart so
// that tests run quickly.
constexpr DmxTiming kFast{1ms, 110us, 16us, 0us, 5ms};

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

// A failing call on the line: the handle is closed and the device opened
// again with the whole set-up, silently; packets resume on the new handle
// with the current universe. The failure is said once, on the host's
// thread, at the next call into the link.
struct LineFailure {
  const char* name;
  K kind;  // the call that fails; its second one
  const char* message;
};

class LineFails : public TransmitterTest, public ::testing::WithParamInterface<LineFailure> {};

TEST_P(LineFails, ClosesReopensAndResumesAndIsReportedOnceAtTheNextCall) {
  const auto& failure = GetParam();
  fake_.FailCall(failure.kind, 2);
  link_->StartOpenDmx();
  link_->StageOpenDmxFrame(Filled(4));
  ASSERT_TRUE(WaitUntil([&] { return fake_.CountOf(K::kOpen) == 2; }));
  EXPECT_THAT(reports_.messages, IsEmpty());
  EXPECT_TRUE(link_->openDmxOpen());

  link_->StageOpenDmxFrame(Filled(5));
  link_->StageOpenDmxFrame(Filled(6));
  EXPECT_THAT(reports_.messages, ElementsAre(failure.message));
  ASSERT_TRUE(WaitUntil([&] {
    auto writes = Writes(fake_);
    return writes.back().handle == 2 && writes.back().data[1] == 6;
  }));
  EXPECT_FALSE(link_->outputLost());
  link_->StopOpenDmx();
  EXPECT_THAT(reports_.messages, ElementsAre(failure.message));
  EXPECT_FALSE(link_->openDmxOpen());

  auto calls = AfterSetup();
  auto failed =
      std::find_if(calls.begin(), calls.end(), [](const D2xxCall& c) { return c.status != FT_OK; });
  ASSERT_NE(failed, calls.end());
  EXPECT_EQ(failed->kind, failure.kind);
  std::vector<D2xxCallKind> after;
  for (auto it = failed + 1; it != calls.end() && after.size() < 9; ++it) {
    after.push_back(it->kind);
    EXPECT_EQ(it->handle, it == failed + 1 ? 1u : 2u) << D2xxCallName(it->kind);
  }
  EXPECT_THAT(after, ElementsAre(K::kClose, K::kOpen, K::kResetDevice, K::kSetDivisor,
                                 K::kSetDataCharacteristics, K::kSetFlowControl, K::kClrRts,
                                 K::kPurge, K::kPurge));
  EXPECT_EQ(calls.back().kind, K::kClose);
  EXPECT_EQ(calls.back().handle, 2u);
}

INSTANTIATE_TEST_SUITE_P(
    EachLineCall, LineFails,
    ::testing::Values(LineFailure{"BreakOn", K::kSetBreakOn, "Write Start Code Failed!"},
                      LineFailure{"BreakOff", K::kSetBreakOff, "Write Start Code Failed!"},
                      LineFailure{"Write", K::kWrite, "Write DMX Failed!"}),
    [](const auto& p) { return std::string(p.param.name); });

// A device that takes the write short every time never comes back: the
// link keeps reopening it, and says so once.
TEST_F(TransmitterTest, AWriteThatKeepsFallingShortIsOneOutage) {
  fake_.ShortenWrites(512);
  link_->StartOpenDmx();
  link_->StageOpenDmxFrame(Filled(4));
  ASSERT_TRUE(WaitUntil([&] { return fake_.CountOf(K::kOpen) >= 4; }));
  EXPECT_TRUE(link_->outputLost());
  link_->StageOpenDmxFrame(Filled(5));
  link_->StageOpenDmxFrame(Filled(6));
  link_->StopOpenDmx();
  EXPECT_THAT(reports_.messages, ElementsAre("Write DMX Failed!"));
  EXPECT_EQ(fake_.Calls().back().kind, K::kClose);
}

size_t ThreadsOfThisProcess() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                           std::filesystem::directory_iterator()));
}

// While the device is away nothing is held open: a stop closes nothing, and
// unloading (the link destroyed) returns at once and leaves no thread.
TEST_F(TransmitterTest, StopAndUnloadWhileTheDeviceIsAway) {
  // A sanitizer's run-time starts a thread of its own with the first thread.
  std::thread([] {}).join();
  const size_t threads = ThreadsOfThisProcess();
  link_ = std::make_unique<OpenDmxUsbLink>(fake_, reports_, clock_, DmxTiming{});
  link_->StartOpenDmx();
  link_->StageOpenDmxFrame(Filled(4));
  ASSERT_TRUE(WaitForWrites(1));
  fake_.Unplug();
  ASSERT_TRUE(WaitUntil([&] { return fake_.CountOf(K::kOpen) >= 2; }));
  const size_t closes = fake_.CountOf(K::kClose);
  link_->StopOpenDmx();
  EXPECT_EQ(fake_.CountOf(K::kClose), closes) << "closed a handle it no longer held";
  EXPECT_EQ(reports_.messages.size(), 1u);

  link_->StartOpenDmx();  // the user's own open says what fails
  EXPECT_EQ(reports_.messages.back(), "Failed to open Enttec Open DMX USB device!");
  fake_.Replug();
  link_->StartOpenDmx();
  link_->StageOpenDmxFrame(Filled(5));
  ASSERT_TRUE(WaitUntil([&] { return Writes(fake_).back().data[1] == 5; }));
  fake_.Unplug();
  ASSERT_TRUE(WaitUntil([&] { return fake_.Calls().back().status == FT_DEVICE_NOT_FOUND; }));
  const auto before = std::chrono::steady_clock::now();
  link_.reset();
  // Generous: a retry's sleep is sliced to one period.
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
  // A joined thread may stay listed for a moment while the kernel reaps it.
  EXPECT_TRUE(WaitUntil([&] { return ThreadsOfThisProcess() == threads; }));
  const size_t count = fake_.CallCount();
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(fake_.CallCount(), count);
}

TEST_F(TransmitterTest, AFailureIsReportedBeforeARestartAndTheRestartSendsAgain) {
  fake_.FailCall(K::kWrite, 1);
  link_->StartOpenDmx();
  link_->StageOpenDmxFrame(Filled(4));
  ASSERT_TRUE(WaitUntil([&] { return fake_.CountOf(K::kOpen) >= 2; }));
  link_->StartOpenDmx();
  EXPECT_THAT(reports_.messages, ElementsAre("Write DMX Failed!"));
  EXPECT_TRUE(link_->transmitting());
  link_->StageOpenDmxFrame(Filled(5));
  ASSERT_TRUE(WaitForWrites(3));
  link_->StopOpenDmx();
  EXPECT_THAT(reports_.messages, ElementsAre("Write DMX Failed!"));
}

// A removal and a return on the fake clock, with a real bus's call costs:
// packets stop, the device is tried every retry interval and nothing else
// happens meanwhile, one message, then packets 25 ms apart again with the
// universe staged while it was away.
TEST(Outage, PacketsStopRetriesFollowAndPacketsResumeWithTheCurrentUniverse) {
  test::FakeClock clock(test::FakeClock::RealWait::kPause);
  D2xxFake fake;
  fake.UseClock(clock);
  fake.SetCallCost(K::kSetBreakOn, 1ms);
  fake.SetCallCost(K::kSetBreakOff, 1ms);
  fake.SetCallCost(K::kWrite, 22572us);
  test::RecordingReports reports;
  const DmxTiming timing;
  OpenDmxUsbLink link(fake, reports, clock, timing);
  link.StartOpenDmx();
  link.StageOpenDmxFrame(Filled(1));
  ASSERT_TRUE(WaitUntil([&] { return fake.CountOf(K::kWrite) >= 3; }));
  fake.Unplug();
  ASSERT_TRUE(WaitUntil([&] { return fake.CountOf(K::kOpen) >= 3; }));
  EXPECT_TRUE(link.outputLost());
  link.StageOpenDmxFrame(Filled(9));
  ASSERT_TRUE(WaitUntil([&] { return fake.CountOf(K::kOpen) >= 6; }));
  link.StageOpenDmxFrame(Filled(9));
  fake.Replug();
  ASSERT_TRUE(WaitUntil([&] { return fake.CountOf(K::kWrite) >= 12; }));
  EXPECT_FALSE(link.outputLost());
  link.StopOpenDmx();
  EXPECT_EQ(reports.threads.size(), reports.messages.size());
  for (auto thread : reports.threads) EXPECT_EQ(thread, std::this_thread::get_id());
  ASSERT_EQ(reports.messages.size(), 1u);
  EXPECT_THAT(reports.messages[0],
              ::testing::AnyOf("Write Start Code Failed!", "Write DMX Failed!"));

  auto calls = fake.Calls();
  auto failed =
      std::find_if(calls.begin(), calls.end(), [](const D2xxCall& c) { return c.status != FT_OK; });
  ASSERT_NE(failed, calls.end());
  ASSERT_EQ((failed + 1)->kind, K::kClose);
  std::vector<Clock::Time> tries;
  auto it = failed + 2;
  for (; it != calls.end() && it->status == FT_DEVICE_NOT_FOUND; ++it) {
    EXPECT_EQ(it->kind, K::kOpen);
    tries.push_back(it->enteredAt);
  }
  ASSERT_GE(tries.size(), 5u);
  for (size_t i = 1; i < tries.size(); ++i) {
    EXPECT_EQ(tries[i] - tries[i - 1], timing.retryInterval);
    EXPECT_LE(tries[i] - tries[i - 1], 500ms) << "fewer than two tries a second";
  }
  ASSERT_EQ(it->kind, K::kOpen);
  EXPECT_EQ(it->status, FT_OK);
  std::vector<Clock::Time> starts;
  for (; it != calls.end(); ++it) {
    if (it->kind == K::kSetBreakOn) starts.push_back(it->enteredAt);
    if (it->kind == K::kWrite) {
      EXPECT_EQ(it->data[1], 9) << "not the current universe";
    }
  }
  ASSERT_GE(starts.size(), 5u);
  for (size_t i = 1; i < starts.size(); ++i) EXPECT_EQ(starts[i] - starts[i - 1], 25ms);
}

// The schedule on the fake clock: each D2XX call's cost moves its time, so
// starts, breaks and marks are exact.
struct ScheduleCase {
  const char* name;
  std::chrono::microseconds controlCost;  // FT_SetBreakOn and FT_SetBreakOff each
  std::chrono::microseconds writeCost;
  std::chrono::microseconds gap;  // from one packet's start to the next
};

class Schedule : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(Schedule, PacketsStartOnePeriodApartUnlessTheLineNeedsLonger) {
  const auto& param = GetParam();
  test::FakeClock clock(test::FakeClock::RealWait::kPause);
  D2xxFake fake;
  fake.UseClock(clock);
  fake.SetCallCost(K::kSetBreakOn, param.controlCost);
  fake.SetCallCost(K::kSetBreakOff, param.controlCost);
  fake.SetCallCost(K::kWrite, param.writeCost);
  const DmxTiming timing;  // the plug-in's own
  DmxTransmitter transmitter(fake, clock, timing);
  transmitter.Start(7);
  transmitter.Stage(Filled(1).levels());
  ASSERT_TRUE(WaitUntil([&] { return fake.CountOf(K::kWrite) >= 12; }));
  transmitter.Stop();

  auto calls = fake.Calls();
  ASSERT_GE(calls.size(), 36u);
  for (size_t i = 0; i + 2 < calls.size(); i += 3) {
    const auto& on = calls[i];
    const auto& off = calls[i + 1];
    const auto& write = calls[i + 2];
    ASSERT_EQ(on.kind, K::kSetBreakOn);
    ASSERT_EQ(off.kind, K::kSetBreakOff);
    ASSERT_EQ(write.kind, K::kWrite);
    // The break holds from the return of the call that set it to the call
    // that clears it, the mark from that one's return to the write.
    EXPECT_GE(off.enteredAt - on.returnedAt, 92us) << "break of packet " << i / 3;
    EXPECT_GE(write.enteredAt - off.returnedAt, 12us) << "mark of packet " << i / 3;
    if (i == 0) continue;
    const auto& previousWrite = calls[i - 1];
    EXPECT_GE(on.enteredAt - previousWrite.enteredAt, 22572us) << "broke into packet " << i / 3;
    EXPECT_EQ(on.enteredAt - calls[i - 3].enteredAt, std::chrono::nanoseconds(param.gap))
        << "packet " << i / 3;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CallCosts, Schedule,
    ::testing::Values(ScheduleCase{"FreeCalls", 0us, 0us, 25000us},
                      // A real full-speed bus: the two control transfers of the
                      // break fit in the period, beside 22.572 ms of bytes.
                      ScheduleCase{"RealBusWriteReturnsOnceSent", 1000us, 22572us, 25000us},
                      ScheduleCase{"RealBusWriteReturnsAtOnce", 1000us, 30us, 25000us},
                      // Slower control transfers: the line sets the pace, the
                      // break comes 22.822 ms after the write began.
                      ScheduleCase{"SlowControlCalls", 2000us, 30us, 4126us + 22822us},
                      // A write that overruns the period: packets follow one
                      // another, never bunched.
                      ScheduleCase{"WriteOverrunsThePeriod", 1000us, 30000us, 2126us + 30000us}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace lumivane
