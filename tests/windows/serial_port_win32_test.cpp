// SPDX-License-Identifier: MIT
// The Win32 serial port under Wine, on COM ports the script backs with the
// widget simulator's ptys: LUMIVANE_WIDGET_PORT answers and reads,
// LUMIVANE_STALLED_PORT never reads (its writes stall once the pty is
// full).
#include "prowidget/serial_port_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "prowidget/widget_message.h"
#include "tests/support/expect_failure.h"

namespace lumivane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int16_t PortFrom(const char* variable) {
  const char* text = std::getenv(variable);
  return static_cast<int16_t>(text ? std::atoi(text) : 0);
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Frame(uint8_t level) {
  Universe levels;
  for (int channel = 1; channel <= kChannelCount; ++channel) levels[channel] = level;
  UniverseFrame frame;
  return std::string(frame.Build(levels));
}

class SerialPortWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (widgetPort_ == 0 || stalledPort_ == 0) GTEST_SKIP() << "no simulated widget ports";
  }
  const int16_t widgetPort_ = PortFrom("LUMIVANE_WIDGET_PORT");
  const int16_t stalledPort_ = PortFrom("LUMIVANE_STALLED_PORT");
};

TEST_F(SerialPortWin32Test, RefusesWhatCannotBeDoneWithItsNumber) {
  SerialPortWin32 port;
  EXPECT_FAILURE(port.SetCommPort(0), ErrorNumber::kPortInvalid);
  EXPECT_FAILURE(port.SetCommPort(256), ErrorNumber::kPortInvalid);
  EXPECT_EQ(port.CommPort(), 1);
  EXPECT_FAILURE(port.Output("x"), ErrorNumber::kPortNotOpen);
  EXPECT_FAILURE(port.OutputWithoutWaiting("x"), ErrorNumber::kPortNotOpen);
  EXPECT_FAILURE(port.Input(), ErrorNumber::kPortNotOpen);
  EXPECT_FAILURE(port.InBufferCount(), ErrorNumber::kPortNotOpen);
  EXPECT_EQ(port.OutputQueueBytes(), 0u);
  port.SetCommPort(200);
  EXPECT_FAILURE(port.SetPortOpen(true), ErrorNumber::kPortNotFound);
  EXPECT_FALSE(port.PortOpen());

  port.SetCommPort(widgetPort_);
  port.SetPortOpen(true);
  EXPECT_FAILURE(port.SetPortOpen(true), ErrorNumber::kPortAlreadyOpen);
  EXPECT_FAILURE(port.SetCommPort(stalledPort_), ErrorNumber::kPortOpenNotValid);
  port.SetPortOpen(false);
  EXPECT_FALSE(port.PortOpen());
  port.SetCommPort(stalledPort_);
}

TEST_F(SerialPortWin32Test, ProbesOnTheOverlappedHandle) {
  SerialPortWin32 port;
  port.SetCommPort(widgetPort_);
  port.SetPortOpen(true);
  EXPECT_EQ(port.Input(), "");
  port.Output(SerialNumberRequest());
  const auto start = Clock::now();
  while (port.InBufferCount() < 9 && MsSince(start) < 5000) Sleep(5);
  EXPECT_EQ(port.Input(), std::string("\x7E\x0A\x04\x00\x78\x56\x34\x12\xE7", 9));
  EXPECT_EQ(port.InBufferCount(), 0);

  // A line that keeps up takes a frame at once, and the driver holds
  // nothing a pty lets it count.
  EXPECT_EQ(port.OutputWithoutWaiting(Frame(7)), UniverseFrame::kSize);
  port.Output(SerialNumberRequest());  // waits for the frame first
  EXPECT_EQ(port.OutputQueueBytes(), 0u);
  port.SetPortOpen(false);
  EXPECT_EQ(port.OutputQueueBytes(), 0u);
}

TEST_F(SerialPortWin32Test, AStalledLineNeverHoldsTheCaller) {
  SerialPortWin32 port;
  port.SetCommPort(stalledPort_);
  port.SetPortOpen(true);
  // Far more than the pty holds: the driver keeps one write pending and
  // takes nothing more meanwhile, and no call waits for it.
  size_t taken = 0, refused = 0;
  double slowest = 0;
  const auto filling = Clock::now();
  for (int i = 0; i < 200 && MsSince(filling) < 500; ++i) {
    const auto start = Clock::now();
    const size_t sent = port.OutputWithoutWaiting(Frame(static_cast<uint8_t>(i)));
    slowest = std::max(slowest, MsSince(start));
    EXPECT_TRUE(sent == 0 || sent == UniverseFrame::kSize) << sent;
    (sent == 0 ? refused : taken) += 1;
    EXPECT_EQ(port.OutputQueueBytes(), 0u);
  }
  EXPECT_GT(refused, 0u);
  EXPECT_GT(taken, 0u);
  EXPECT_LT(slowest, 250.0);

  // The pending write ends within the write timeout from its start; a
  // write that finds it still pending fails with it, once.
  auto start = Clock::now();
  EXPECT_FAILURE(port.Output(Frame(1)), ErrorNumber::kPortWriteTimedOut);
  EXPECT_LT(MsSince(start), 3000.0);
  EXPECT_TRUE(port.PortOpen());
  EXPECT_EQ(port.OutputWithoutWaiting(Frame(2)), UniverseFrame::kSize);

  // Closing with a write pending is bounded by the write timeout; the
  // write is cancelled and the port opens again.
  for (int i = 0; i < 100; ++i) port.OutputWithoutWaiting(Frame(3));
  start = Clock::now();
  port.SetPortOpen(false);
  EXPECT_LT(MsSince(start), 3000.0);
  port.SetPortOpen(true);
  EXPECT_TRUE(port.PortOpen());
}

}  // namespace
}  // namespace lumivane
