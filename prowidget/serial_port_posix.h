// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <chrono>
#include <cstddef>

#include "posix/unique_fd.h"
#include "prowidget/port_map_posix.h"
#include "prowidget/serial_component.h"

namespace lumivane {

// The serial-port component on a POSIX tty. Port n is the device the port
// map names. Opening takes the device exclusively (TIOCEXCL and an flock,
// so a second opener, in this process or another, fails with 8010) and sets
// raw 256000 baud 8N1 with no flow control.
//
// Received bytes are read from the device into a 1024-byte buffer whenever
// Input or InBufferCount is read; what arrives beyond a full buffer is
// dropped. Output sends the whole message or fails within the write timeout
// (8022); a device that went away (ENODEV, EIO, ENXIO, hang-up) fails with
// 8023 and leaves the port closed at once, so the next open starts afresh
// and a replugged device gets its old name back. Closing gives what waits
// in the driver the write timeout to leave; what a stalled device left then
// is dropped, the port is closed all the same, and the close fails with
// 8022. The driver's own closing wait is turned off where it has one.
// Nothing blocks longer than the write timeout and nothing retries on a
// dead descriptor. One thread at a time.
class SerialPortPosix final : public SerialComponent {
 public:
  static constexpr unsigned kBaud = 256000;
  static constexpr size_t kReceiveBufferSize = 1024;
  static constexpr std::chrono::milliseconds kDefaultWriteTimeout{1000};

  explicit SerialPortPosix(PortMap ports = PortMap(),
                           std::chrono::milliseconds writeTimeout = kDefaultWriteTimeout);
  ~SerialPortPosix() override;
  SerialPortPosix(const SerialPortPosix&) = delete;
  SerialPortPosix& operator=(const SerialPortPosix&) = delete;

  void SetCommPort(int16_t port) override;
  int16_t CommPort() const override { return commPort_; }
  void SetPortOpen(bool open) override;
  bool PortOpen() const override { return fd_.ok(); }
  void Output(std::string_view data) override;
  size_t OutputWithoutWaiting(std::string_view data) override;
  // TIOCOUTQ: everything the driver holds, its transfers in flight included.
  size_t OutputQueueBytes() override;
  std::string Input() override;
  int16_t InBufferCount() override;

 private:
  void Open();
  // False when a stalled device kept bytes past the write timeout.
  bool Close() noexcept;
  [[noreturn]] void DeviceGone(std::string_view what);
  void RequireOpen() const;
  void Receive();

  PortMap ports_;
  std::chrono::milliseconds writeTimeout_;
  int16_t commPort_ = 1;
  UniqueFd fd_;
  bool gone_ = false;  // the open port's device went away; cleared by the next open or close
  std::array<char, kReceiveBufferSize> received_{};
  size_t receivedCount_ = 0;
};

}  // namespace lumivane
