// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <string>

#include "prowidget/overlapped_io_win32.h"
#include "prowidget/serial_component.h"

namespace lumivane {

// The serial-port component on a Windows COM port: port n is
// "\\.\COMn", opened exclusively (a second opener fails with 8010) for
// overlapped I/O, raw 256000 baud 8N1, no flow control of any kind.
//
// Reads never wait (they take what the driver holds). At most one write is
// outstanding: OutputWithoutWaiting starts one and returns at once, and a
// write the driver cannot finish at once stays pending, owned here; while
// it is, OutputWithoutWaiting takes nothing (returns 0), and Output first
// waits for it. Every write finishes or fails within the write timeout
// from its start (8022, the write then cancelled); a pending write's
// failure is thrown by the next call that writes. A device that went away
// (unplugged USB serial) fails with 8023 and leaves the port closed.
// Closing lets a pending write and what is queued leave within the write
// timeout, then cancels the write, and never discards what the driver
// queued. One thread at a time.
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
  size_t OutputWithoutWaiting(std::string_view data) override;
  // The driver's output queue (ClearCommError's cbOutQue); 0 while closed.
  size_t OutputQueueBytes() override;
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
  // Waits for the pending write until the write timeout from its start;
  // throws its failure.
  void FinishWrite();
  // The end of a write that finished with `done` bytes of `size`, or failed.
  void Written(DWORD result, DWORD done, size_t size);

  std::chrono::milliseconds writeTimeout_;
  int16_t commPort_ = 1;
  void* handle_ = nullptr;  // a HANDLE
  bool gone_ = false;
  OverlappedIo write_;
  OverlappedIo read_;
  std::array<char, kReceiveBufferSize> received_{};
  size_t receivedCount_ = 0;
};

}  // namespace lumivane
