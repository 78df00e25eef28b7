// SPDX-License-Identifier: MIT
// The serial port when its system calls are interrupted, take part of a
// message, or keep failing: every byte still arrives, in order, or the
// failure is the one the port reports for it.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/failure.h"
#include "prowidget/serial_port_posix.h"
#include "tests/prowidget/pty_pair.h"
#include "tests/support/expect_failure.h"
#include "tests/support/scripted_system_calls.h"
#include "tests/support/temp_folder.h"

namespace lumivane {
namespace {

using namespace std::chrono_literals;
using test::ScriptedSystemCalls;
using Turns = std::vector<ScriptedSystemCalls::Turn>;
constexpr auto Real = ScriptedSystemCalls::Real;
constexpr auto Fail = ScriptedSystemCalls::Fail;
constexpr auto AtMost = ScriptedSystemCalls::AtMost;

// A message long enough to be cut many ways, every byte telling its place.
std::string Message() {
  std::string bytes;
  for (int i = 0; i < 600; ++i) bytes += static_cast<char>(i % 251);
  return bytes;
}

// The number FailureNumber gives for a case: 0 when the call must succeed.
int32_t Expected(std::optional<ErrorNumber> failure) {
  return failure ? static_cast<int32_t>(*failure) : 0;
}

class SerialPortSystemCalls : public ::testing::Test {
 protected:
  SerialPortSystemCalls() {
    map_.Link(3, pty_.slavePath());
    port_.SetCommPort(3);
    port_.SetPortOpen(true);
  }

  // Reads what the port takes in until `count` bytes came or a second passed.
  std::string InputUpTo(size_t count) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) got += port_.Input();
    return got;
  }

  test::TempFolder folder_;
  PortMap map_{folder_.path()};
  test::PtyPair pty_;
  SerialPortPosix port_{map_, 50ms};
  ScriptedSystemCalls calls_;
};

struct WriteCase {
  const char* name;
  Turns writes;
  Turns polls = {};
  ScriptedSystemCalls::Turn thenWrite = Real();
  ScriptedSystemCalls::Turn thenPoll = Real();
  std::optional<ErrorNumber> failure = std::nullopt;  // none: every byte arrives
  bool staysOpen = true;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
  *os << c.name;
}

class SerialOutput : public SerialPortSystemCalls,
                     public ::testing::WithParamInterface<WriteCase> {};

// The write that waits for room, as a message to the widget is sent.
TEST_P(SerialOutput, DeliversEveryByteInOrderOrReportsTheFailure) {
  const WriteCase& c = GetParam();
  calls_.Script(ScriptedSystemCalls::kWrite, c.writes, c.thenWrite);
  calls_.Script(ScriptedSystemCalls::kPoll, c.polls, c.thenPoll);
  const std::string message = Message();

  EXPECT_EQ(test::FailureNumber([&] { port_.Output(message); }), Expected(c.failure));

  EXPECT_GE(calls_.Count(ScriptedSystemCalls::kWrite), static_cast<int>(c.writes.size()));
  EXPECT_GE(calls_.Count(ScriptedSystemCalls::kPoll), static_cast<int>(c.polls.size()));
  EXPECT_EQ(port_.PortOpen(), c.staysOpen);
  if (!c.failure) {
    EXPECT_EQ(pty_.Read(message.size()), message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialOutput,
    ::testing::Values(
        WriteCase{"InterruptedWritesAreRetried", {Fail(EINTR), Fail(EINTR), Fail(EINTR)}},
        WriteCase{"ShortWritesContinueWithTheRest", {AtMost(1), AtMost(7), AtMost(250)}},
        WriteCase{"WriteThatTakesNothingWaitsForRoom", {AtMost(0), AtMost(0), AtMost(3)}},
        WriteCase{"InterruptedWaitForRoomIsRetried",
                  {AtMost(10), AtMost(10)},
                  {Fail(EINTR), Fail(EINTR)}},
        WriteCase{"AllOfThemTogether",
                  {AtMost(5), Fail(EINTR), AtMost(0), Fail(EINTR), AtMost(300)},
                  {Fail(EINTR)}},
        WriteCase{"DeviceThatWentAwayClosesThePort",
                  {AtMost(5)},
                  {},
                  Fail(EIO),
                  Real(),
                  ErrorNumber::kPortDeviceGone,
                  false},
        WriteCase{"NoSuchDeviceBeforeTheHangUpIsGoneToo",
                  {},
                  {},
                  Fail(ENODEV),
                  Real(),
                  ErrorNumber::kPortDeviceGone,
                  false},
        WriteCase{"WriteErrorKeepsThePortOpen",
                  {},
                  {},
                  Fail(EINVAL),
                  Real(),
                  ErrorNumber::kPortWriteFailed},
        WriteCase{"LineThatNeverTakesMoreTimesOut",
                  {AtMost(5)},
                  {},
                  Fail(EAGAIN),
                  Real(),
                  ErrorNumber::kPortWriteTimedOut},
        WriteCase{"WaitForRoomThatFailsIsAWriteError",
                  {AtMost(5)},
                  {},
                  Real(),
                  Fail(ENOMEM),
                  ErrorNumber::kPortWriteFailed}),
    [](const auto& p) { return std::string(p.param.name); });

struct NoWaitCase {
  const char* name;
  Turns writes;
  ScriptedSystemCalls::Turn then;
  size_t sent;  // the leading bytes taken, and all that arrives
  std::optional<ErrorNumber> failure = std::nullopt;
};

void PrintTo(const NoWaitCase& c, std::ostream* os) {
  *os << c.name;
}

class SerialOutputWithoutWaiting : public SerialPortSystemCalls,
                                   public ::testing::WithParamInterface<NoWaitCase> {};

// The write the link's writer makes while the line takes the frame at once.
TEST_P(SerialOutputWithoutWaiting, SendsWhatTheLineTakesInOrder) {
  const NoWaitCase& c = GetParam();
  calls_.Script(ScriptedSystemCalls::kWrite, c.writes, c.then);
  const std::string message = Message();

  size_t sent = 0;
  EXPECT_EQ(test::FailureNumber([&] { sent = port_.OutputWithoutWaiting(message); }),
            Expected(c.failure));

  if (!c.failure) {
    EXPECT_EQ(sent, c.sent);
  }
  const std::string arrived = pty_.Read(c.sent + 1, 200ms);
  if (c.failure == ErrorNumber::kPortDeviceGone) {
    // What a gone device left in the driver may go with it (the port
    // discards it so that closing waits for nothing): a leading part, if any.
    EXPECT_EQ(arrived, message.substr(0, std::min(arrived.size(), c.sent)));
  } else {
    EXPECT_EQ(arrived, message.substr(0, c.sent));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialOutputWithoutWaiting,
    ::testing::Values(
        NoWaitCase{"InterruptedWritesAreRetried", {Fail(EINTR), Fail(EINTR)}, Real(), 600},
        NoWaitCase{
            "ShortWritesContinueWithTheRest", {AtMost(1), AtMost(99), AtMost(200)}, Real(), 600},
        NoWaitCase{"FullLineStopsWithWhatWasTaken",
                   {AtMost(40), Fail(EINTR), AtMost(60)},
                   Fail(EAGAIN),
                   100},
        NoWaitCase{"DeviceThatWentAway", {AtMost(40)}, Fail(EIO), 40, ErrorNumber::kPortDeviceGone},
        NoWaitCase{"NoSuchDevice", {}, Fail(ENODEV), 0, ErrorNumber::kPortDeviceGone},
        NoWaitCase{"NoSuchDeviceOrAddress", {}, Fail(ENXIO), 0, ErrorNumber::kPortDeviceGone},
        NoWaitCase{"WriteError", {AtMost(40)}, Fail(EINVAL), 40, ErrorNumber::kPortWriteFailed}),
    [](const auto& p) { return std::string(p.param.name); });

struct ReadCase {
  const char* name;
  Turns reads;
  ScriptedSystemCalls::Turn then = Real();
  std::optional<ErrorNumber> failure = std::nullopt;
  bool staysOpen = true;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
  *os << c.name;
}

class SerialInput : public SerialPortSystemCalls, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(SerialInput, TakesEveryByteInOrderOrReportsTheFailure) {
  const ReadCase& c = GetParam();
  const std::string reply = Message().substr(0, 300);
  pty_.Write(reply);
  calls_.Script(ScriptedSystemCalls::kRead, c.reads, c.then);

  std::string got;
  EXPECT_EQ(test::FailureNumber([&] { got = InputUpTo(reply.size()); }), Expected(c.failure));

  EXPECT_GE(calls_.Count(ScriptedSystemCalls::kRead), static_cast<int>(c.reads.size()));
  EXPECT_EQ(port_.PortOpen(), c.staysOpen);
  if (!c.failure) {
    EXPECT_EQ(got, reply);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialInput,
    ::testing::Values(
        ReadCase{"InterruptedReadsAreRetried", {Fail(EINTR), Fail(EINTR)}},
        ReadCase{"ShortReadsAddUp", {AtMost(1), Fail(EINTR), AtMost(17)}},
        ReadCase{
            "DeviceThatWentAwayClosesThePort", {}, Fail(EIO), ErrorNumber::kPortDeviceGone, false},
        ReadCase{"ReadErrorKeepsThePortOpen", {}, Fail(EINVAL), ErrorNumber::kPortReadFailed}),
    [](const auto& p) { return std::string(p.param.name); });

// The driver's output queue as TIOCOUTQ reads it (a pty's always reads 0):
// each read takes the next count, the last one stays.
class DriverQueue : public SerialPortSystemCalls {
 protected:
  static inline std::vector<int> counts;
  static inline std::atomic<int> reads{0};

  static sys::Calls Reporting() {
    sys::Calls calls = sys::Current();  // the scripted reads and writes stay
    calls.ioctl = [](int fd, unsigned long request, void* argument) {
      if (request != TIOCOUTQ) return sys::kRealCalls.ioctl(fd, request, argument);
      const size_t read = static_cast<size_t>(reads++);
      *static_cast<int*>(argument) = counts[std::min(read, counts.size() - 1)];
      return 0;
    };
    return calls;
  }
  void Script(std::vector<int> queue) {
    counts = std::move(queue);
    reads = 0;
  }

  const sys::Calls queueCalls_ = Reporting();
  sys::ScopedCalls queueScope_{queueCalls_};
};

TEST_F(DriverQueue, IsWhatTheDriverReports) {
  Script({4608, 518, 0});
  EXPECT_EQ(port_.OutputQueueBytes(), 4608u);
  EXPECT_EQ(port_.OutputQueueBytes(), 518u);
  EXPECT_EQ(port_.OutputQueueBytes(), 0u);
  port_.SetPortOpen(false);
  EXPECT_EQ(port_.OutputQueueBytes(), 0u) << "a closed port holds nothing";
}

TEST_F(DriverQueue, CloseWaitsForAQueueThatDrains) {
  Script({1036, 518, 518, 0});
  EXPECT_NO_THROW(port_.SetPortOpen(false));
  EXPECT_FALSE(port_.PortOpen());
  EXPECT_EQ(reads, 4);
}

TEST_F(DriverQueue, CloseOfAStalledDeviceClosesWithinTheWriteTimeoutAndFails) {
  Script({1036});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FAILURE(port_.SetPortOpen(false), ErrorNumber::kPortWriteTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_FALSE(port_.PortOpen()) << "closed all the same";
  EXPECT_NO_THROW(port_.SetPortOpen(true)) << "and it opens afresh";
}

TEST_F(DriverQueue, AGoneDeviceIsClosedAtOnceWhateverWaits) {
  Script({1036});
  calls_.Script(ScriptedSystemCalls::kWrite, {}, Fail(ENODEV));
  EXPECT_FAILURE(port_.Output("x"), ErrorNumber::kPortDeviceGone);
  EXPECT_FALSE(port_.PortOpen());
  EXPECT_EQ(reads, 0) << "no drain waited for";
}

}  // namespace
}  // namespace lumivane
