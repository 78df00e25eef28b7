// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <string>

#include "prowidget/serial_component.h"

namespace lumivane {

// The serial-port component on a Windows COM port: port n is
// "\\.\COMn", opened exclusively (a second opener fails with 8010), raw
// 256000 baud 8N1, no flow control of any kind.
//
// Reads never wait (they take what the driver holds); Output sends the
// whole message or fails within the write timeout (8022). A device that
// went away (unplugged USB serial) fails with 8023 and leaves the port
// closed. Closing waits, at most the write timeout, for what is queued to
// leave and never discards it. Host thread only.
class SerialPortWin32 final : public SerialComponent {
 public:
  static constexpr unsigned long kBaud = 256000;
  static constexpr size_t kReceiveBufferSize = 1024;
  static constexpr std::chrono::milliseconds kDefaultWriteTimeout{1000};
  static constexpr int kLowestPort = 1;
  static constexpr int kHighestPort = 255;

  explicit SerialPortWin32(std::chrono::milliseconds writeTimeout = kDefaultWriteTimeout);
  ~SerialPortWin32() override;
  SerialPortWin32(const SerialPortWin32&) = delete;
  SerialPortWin32& operator=(const SerialPortWin32&) = delete;

  void SetCommPort(int16_t port) override;
  int16_t CommPort() const override { return commPort_; }
  void SetPortOpen(bool open) override;
  bool PortOpen() const override { return handle_ != nullptr; }
  void Output(std::string_view data) override;
  std::string Input() override;
  int16_t InBufferCount() override;

  // "\\.\COM<n>": the name that opens ports 10 and above too.
  static std::wstring DeviceName(int port);

 private:
  void Open();
  void Close() noexcept;
  [[noreturn]] void Fail(unsigned long error, std::string_view what);
  void RequireOpen() const;
  void Receive();

  std::chrono::milliseconds writeTimeout_;
  int16_t commPort_ = 1;
  void* handle_ = nullptr;  // a HANDLE
  bool gone_ = false;
  std::array<char, kReceiveBufferSize> received_{};
  size_t receivedCount_ = 0;
};

}  // namespace lumivane
