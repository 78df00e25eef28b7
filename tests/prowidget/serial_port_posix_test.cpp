// SPDX-License-Identifier: MIT
#include "prowidget/serial_port_posix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "core/failure.h"
#include "prowidget/serial_line_linux.h"
#include "tests/prowidget/pty_pair.h"
#include "tests/support/expect_failure.h"
#include "tests/support/temp_folder.h"

namespace lumivane {
namespace {

using namespace std::chrono_literals;
using test::FailureNumber;
using test::PtyPair;

constexpr int32_t Number(ErrorNumber n) {
  return static_cast<int32_t>(n);
}

class SerialPortPosixTest : public ::testing::Test {
 protected:
  SerialPortPosix MakePort(std::chrono::milliseconds timeout = 200ms) {
    return SerialPortPosix(map_, timeout);
  }
  void OpenOn3(SerialPortPosix& port) {
    map_.Link(3, pty_.slavePath());
    port.SetCommPort(3);
    port.SetPortOpen(true);
  }

  lumivane::test::TempFolder folder_;
  PortMap map_{folder_.path()};
  PtyPair pty_;
};

TEST_F(SerialPortPosixTest, OpensTheMappedTtyRaw8N1At256000) {
  SerialPortPosix port = MakePort();
  OpenOn3(port);
  EXPECT_TRUE(port.PortOpen());
  unsigned baud = 0;
  int raw = 0;
  ASSERT_EQ(lumivane_serial_read_line(pty_.master(), &baud, &raw), 0);
  EXPECT_EQ(baud, 256000u);
  EXPECT_EQ(raw, 1);
  port.SetPortOpen(false);
  EXPECT_FALSE(port.PortOpen());
}

TEST_F(SerialPortPosixTest, BytesPassUnchangedBothWays) {
  // Line feeds, carriage returns, XON/XOFF, delimiters and nulls: a cooked
  // line or software flow control would change or swallow some of them.
  const std::string bytes("\x00\x0A\x0D\x11\x13\x03\x7E\xE7\xFF\x00", 10);
  SerialPortPosix port = MakePort();
  OpenOn3(port);
  pty_.Write(bytes);  // 0x13 from the device first: output must not stall
  port.Output(bytes);
  EXPECT_EQ(pty_.Read(bytes.size()), bytes);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (port.InBufferCount() < 10 && std::chrono::steady_clock::now() < deadline) {
  }
  EXPECT_EQ(port.InBufferCount(), 10);
  EXPECT_EQ(port.Input(), bytes);
  EXPECT_EQ(port.InBufferCount(), 0);
  EXPECT_EQ(port.Input(), "");
}

TEST_F(SerialPortPosixTest, KeepsAtMost1024ReceivedBytes) {
  SerialPortPosix port = MakePort();
  OpenOn3(port);
  std::string sent;
  for (int i = 0; i < 1500; ++i) sent += static_cast<char>(i % 251);
  pty_.Write(sent);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(port.InBufferCount(), 1024);
  EXPECT_EQ(port.Input(), sent.substr(0, 1024));
  EXPECT_EQ(port.Input(), "") << "bytes beyond a full buffer are dropped";
  pty_.Write("ab");
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(port.Input(), "ab");
}

TEST_F(SerialPortPosixTest, PortNumbersOutside1To255AreRejectedAndTheOldOneStays) {
  SerialPortPosix port = MakePort();
  for (int16_t good : {int16_t{1}, int16_t{255}, int16_t{7}}) {
    port.SetCommPort(good);
    EXPECT_EQ(port.CommPort(), good);
  }
  for (int16_t bad : {int16_t{0}, int16_t{256}, int16_t{-1}, int16_t{32767}, int16_t{-32768}}) {
    EXPECT_FAILURE(port.SetCommPort(bad), ErrorNumber::kPortInvalid) << bad;
    EXPECT_EQ(port.CommPort(), 7);
  }
}

TEST_F(SerialPortPosixTest, StateErrors) {
  SerialPortPosix port = MakePort();
  EXPECT_FAILURE(port.Output("x"), ErrorNumber::kPortNotOpen);
  EXPECT_FAILURE(port.Input(), ErrorNumber::kPortNotOpen);
  EXPECT_FAILURE(port.InBufferCount(), ErrorNumber::kPortNotOpen);
  EXPECT_NO_THROW(port.SetPortOpen(false)) << "closing a closed port";
  OpenOn3(port);
  EXPECT_FAILURE(port.SetPortOpen(true), ErrorNumber::kPortAlreadyOpen);
  EXPECT_FAILURE(port.SetCommPort(4), ErrorNumber::kPortOpenNotValid);
  EXPECT_EQ(port.CommPort(), 3);
  EXPECT_TRUE(port.PortOpen());
}

TEST_F(SerialPortPosixTest, OpenFailsForWhatIsNoSerialDevice) {
  const auto file = folder_.path() / "plain-file";
  std::ofstream(file) << "not a tty";
  struct Case {
    const char* name;
    std::filesystem::path target;
  };
  for (const Case& c : {Case{"missing", folder_.path() / "no-such-device"},
                        Case{"not a tty", "/dev/null"}, Case{"plain file", file}}) {
    SerialPortPosix port = MakePort();
    map_.Link(5, c.target);
    port.SetCommPort(5);
    EXPECT_FAILURE(port.SetPortOpen(true), ErrorNumber::kPortNotFound) << c.name;
    EXPECT_FALSE(port.PortOpen()) << c.name;
  }
}

TEST_F(SerialPortPosixTest, APortHeldElsewhereIsBusy) {
  SerialPortPosix first = MakePort();
  OpenOn3(first);
  SerialPortPosix second = MakePort();
  second.SetCommPort(3);
  EXPECT_FAILURE(second.SetPortOpen(true), ErrorNumber::kPortBusy);
  EXPECT_FALSE(second.PortOpen());
  first.Output("still mine");
  EXPECT_EQ(pty_.Read(10), "still mine");
  first.SetPortOpen(false);
  second.SetPortOpen(true);
  EXPECT_TRUE(second.PortOpen());
}

TEST_F(SerialPortPosixTest, ADeviceThatStopsReadingTimesTheWriteOut) {
  SerialPortPosix port = MakePort(100ms);
  OpenOn3(port);
  const std::string frame(518, '\x55');
  int32_t failed = 0;
  std::chrono::steady_clock::duration lastCall{};
  for (int i = 0; i < 10000 && failed == 0; ++i) {
    const auto start = std::chrono::steady_clock::now();
    failed = FailureNumber([&] { port.Output(frame); });
    lastCall = std::chrono::steady_clock::now() - start;
  }
  EXPECT_EQ(failed, Number(ErrorNumber::kPortWriteTimedOut));
  EXPECT_LT(lastCall, 5s);
  EXPECT_TRUE(port.PortOpen()) << "a stalled device is still there";
  pty_.Drain();
  EXPECT_NO_THROW(port.Output(frame)) << "writes go on once it reads again";
}

TEST_F(SerialPortPosixTest, ClosingAStalledPortDoesNotWaitForIt) {
  SerialPortPosix port = MakePort(100ms);
  OpenOn3(port);
  const std::string frame(518, '\x55');
  for (int i = 0; i < 10000 && FailureNumber([&] { port.Output(frame); }) == 0; ++i) {
  }
  const auto start = std::chrono::steady_clock::now();
  port.SetPortOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_FALSE(port.PortOpen());
}

TEST_F(SerialPortPosixTest, ClosingKeepsWhatTheDeviceHasNotReadYet) {
  // Twenty frames fit in the pty's buffer unread: the far end must still
  // get every byte after the close, as a slow widget does.
  SerialPortPosix port = MakePort();
  OpenOn3(port);
  std::string sent;
  for (int i = 0; i < 20; ++i) sent += std::string(518, static_cast<char>(i));
  port.Output(sent.substr(0, 518 * 10));
  port.Output(sent.substr(518 * 10));
  const auto start = std::chrono::steady_clock::now();
  port.SetPortOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms) << "nothing was stalled";
  EXPECT_EQ(pty_.Read(sent.size()), sent);
}

TEST_F(SerialPortPosixTest, ADeviceThatVanishesIsGoneAndThePortClosed) {
  SerialPortPosix port = MakePort();
  OpenOn3(port);
  pty_.CloseMaster();
  EXPECT_FAILURE(port.Output("x"), ErrorNumber::kPortDeviceGone);
  EXPECT_FALSE(port.PortOpen());
  EXPECT_FAILURE(port.Output("x"), ErrorNumber::kPortDeviceGone);
  EXPECT_NO_THROW(port.SetPortOpen(false));
  EXPECT_FAILURE(port.Output("x"), ErrorNumber::kPortNotOpen);

  PtyPair replacement;
  map_.Link(3, replacement.slavePath());
  port.SetPortOpen(true);
  port.Output("back");
  EXPECT_EQ(replacement.Read(4), "back");
}

TEST_F(SerialPortPosixTest, ReadingAVanishedDeviceFailsToo) {
  SerialPortPosix port = MakePort();
  OpenOn3(port);
  pty_.CloseMaster();
  EXPECT_FAILURE(port.InBufferCount(), ErrorNumber::kPortDeviceGone);
  EXPECT_FALSE(port.PortOpen());
}

}  // namespace
}  // namespace lumivane
