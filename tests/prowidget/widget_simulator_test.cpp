// SPDX-License-Identifier: MIT
#include "host/widget_simulator.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace lumivane::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// The program's side of the simulated port.
class Port {
 public:
  explicit Port(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~Port() { Close(); }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  bool ok() const { return fd_ >= 0; }
  ssize_t Write(const Bytes& bytes) const { return ::write(fd_, bytes.data(), bytes.size()); }
  Bytes Read(size_t count, std::chrono::milliseconds timeout) const {
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    uint8_t buffer[256];
    while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 5) <= 0) continue;
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }

 private:
  int fd_;
};

const Bytes kSerialRequest{0x7E, 0x0A, 0x01, 0x00, 0x00, 0xE7};
const Bytes kParametersRequest{0x7E, 0x03, 0x02, 0x00, 0x00, 0x00, 0xE7};

TEST(WidgetSimulatorTest, AnswersTheSerialNumberAndParameterRequests) {
  WidgetSimulator sim;
  sim.SetSerial(0x0102A0FF);
  sim.SetFirmware(2, 7);
  Port port(sim.devicePath());
  ASSERT_TRUE(port.ok());
  port.Write(kSerialRequest);
  EXPECT_EQ(port.Read(9, 5s), (Bytes{0x7E, 0x0A, 0x04, 0x00, 0xFF, 0xA0, 0x02, 0x01, 0xE7}));
  port.Write(kParametersRequest);
  EXPECT_EQ(port.Read(10, 5s), (Bytes{0x7E, 0x03, 0x05, 0x00, 7, 2, 9, 1, 40, 0xE7}));
  ASSERT_TRUE(sim.WaitForMessages(2, 5s));
  const auto messages = sim.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].frame.bytes(), kSerialRequest);
  EXPECT_LE(messages[0].at, messages[1].at);

  uint64_t next = 0;
  EXPECT_EQ(sim.Messages(1, next).size(), 1u) << "from the second on";
  EXPECT_EQ(next, 2u);
  EXPECT_TRUE(sim.Messages(next, next).empty());
  sim.SetRecordLimit(1);
  EXPECT_EQ(sim.Messages(0, next).size(), 1u) << "only what is still recorded";
}

TEST(WidgetSimulatorTest, RecordsFramesAndTheirLevels) {
  WidgetSimulator sim;
  Port port(sim.devicePath());
  Bytes frame{0x7E, 0x06, 0x01, 0x02, 0x00};
  for (int channel = 1; channel <= 512; ++channel) frame.push_back(static_cast<uint8_t>(channel));
  frame.push_back(0xE7);
  port.Write({0x55, 0xE7, 0x00});  // noise first
  port.Write(frame);
  ASSERT_TRUE(sim.WaitForMessages(1, 5s));
  EXPECT_EQ(sim.FrameCount(), 1u);
  EXPECT_EQ(sim.Levels()[0], 1);
  EXPECT_EQ(sim.Levels()[511], 0);  // 512 mod 256
  EXPECT_EQ(sim.ReceivedBytes(), 3 + frame.size());
  EXPECT_EQ(sim.DroppedBytes(), 3u);
  EXPECT_EQ(sim.Messages().back().frame.bytes(), frame);
}

TEST(WidgetSimulatorTest, MisbehavesOnRequest) {
  WidgetSimulator sim;
  Port port(sim.devicePath());

  sim.SetReplies(WidgetSimulator::Replies::kSilent);
  port.Write(kSerialRequest);
  ASSERT_TRUE(sim.WaitForMessages(1, 5s));
  EXPECT_TRUE(port.Read(1, 100ms).empty()) << "silent";

  sim.SetReplies(WidgetSimulator::Replies::kGarbage);
  sim.SetGarbage({0x01, 0x02, 0x03});
  port.Write(kSerialRequest);
  EXPECT_EQ(port.Read(3, 5s), (Bytes{0x01, 0x02, 0x03})) << "garbage";

  sim.SetReplies(WidgetSimulator::Replies::kAnswer);
  sim.SetReplyDelay(300ms);
  const auto start = std::chrono::steady_clock::now();
  port.Write(kSerialRequest);
  EXPECT_TRUE(port.Read(1, 150ms).empty()) << "not yet";
  EXPECT_EQ(port.Read(9, 5s).size(), 9u) << "late";
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

TEST(WidgetSimulatorTest, SeesThePortOpenAndClose) {
  WidgetSimulator sim;
  EXPECT_FALSE(sim.PortOpen());
  {
    Port port(sim.devicePath());
    EXPECT_TRUE(sim.WaitForPortOpen(true, 5s));
  }
  EXPECT_TRUE(sim.WaitForPortOpen(false, 5s));
  EXPECT_EQ(sim.CloseCount(), 1u);
}

TEST(WidgetSimulatorTest, WhenItStopsReadingThePortStalls) {
  WidgetSimulator sim;
  sim.SetReading(false);
  Port port(sim.devicePath());
  const Bytes block(518, 0x00);
  size_t written = 0;
  for (ssize_t n = 1; n > 0 && written < 10'000'000;) {
    n = port.Write(block);
    if (n > 0) written += static_cast<size_t>(n);
  }
  EXPECT_LT(written, 10'000'000u);
  EXPECT_EQ(sim.MessageCount(), 0u);
  sim.SetReading(true);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (sim.ReceivedBytes() < written && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_GE(sim.ReceivedBytes(), written);
}

// Writes everything, waiting for room as a blocking port does.
void WriteAll(const Port& port, const Bytes& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n =
        port.Write(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(done), bytes.end()));
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else {
      std::this_thread::sleep_for(1ms);
    }
  }
}

Bytes FrameWithChannel1(uint8_t level) {
  Bytes frame{0x7E, 0x06, 0x01, 0x02, 0x00, level};
  frame.resize(5 + 512, 0);
  frame.push_back(0xE7);
  return frame;
}

TEST(WidgetSimulatorTest, ALinkRateTakesBytesNoFasterThanThat) {
  WidgetSimulator sim;
  sim.SetLinkRate(100'000);
  Port port(sim.devicePath());
  Bytes frames;
  for (uint8_t i = 1; i <= 100; ++i) {
    const Bytes frame = FrameWithChannel1(i);
    frames.insert(frames.end(), frame.begin(), frame.end());
  }
  const auto start = std::chrono::steady_clock::now();
  WriteAll(port, frames);  // 51.8 KB: 0.518 s at that rate
  ASSERT_TRUE(sim.WaitForMessages(100, 10s));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 450ms);
  EXPECT_EQ(sim.Levels()[0], 100);
  EXPECT_EQ(sim.DroppedBytes(), 0u);
}

TEST(WidgetSimulatorTest, PutsAtMostOneDmxPacketPerPacketTimeTheNewestFrame) {
  WidgetSimulator sim;
  sim.SetLinkRate(1'000'000);
  Port port(sim.devicePath());
  EXPECT_EQ(sim.DmxPacketCount(), 0u) << "no frame, no packet";
  const auto start = std::chrono::steady_clock::now();
  for (uint8_t i = 1; i <= 40; ++i) WriteAll(port, FrameWithChannel1(i));
  ASSERT_TRUE(sim.WaitForMessages(40, 5s));
  std::this_thread::sleep_for(100ms);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const uint64_t packets = sim.DmxPacketCount();
  EXPECT_GE(packets, 1u);
  EXPECT_LE(packets, static_cast<uint64_t>(elapsed / std::chrono::microseconds(22679)) + 1)
      << "one 512-channel packet takes 22.7 ms on the line";
  EXPECT_LT(packets, 40u) << "frames faster than packets are never all shown";
  EXPECT_EQ(sim.DmxLevels()[0], 40) << "the newest frame";
}

TEST(WidgetSimulatorTest, WhenItVanishesThePortHangsUp) {
  WidgetSimulator sim;
  Port port(sim.devicePath());
  ASSERT_EQ(port.Write(kSerialRequest), 6);
  sim.Vanish();
  EXPECT_EQ(port.Write(kSerialRequest), -1);
  EXPECT_EQ(errno, EIO);
}

}  // namespace
}  // namespace lumivane::sim
