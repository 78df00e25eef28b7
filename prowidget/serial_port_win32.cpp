// SPDX-License-Identifier: MIT
#include "prowidget/serial_port_win32.h"

#include <windows.h>

#include <string>

#include "core/failure.h"

namespace lumivane {
namespace {

std::string PortName(int port) {
  return "COM" + std::to_string(port);
}

std::string Why(int port, DWORD error) {
  return PortName(port) + ": Windows error " + std::to_string(error);
}

ErrorNumber OpenErrorNumber(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      // A COM port is exclusive: denied access means another opener.
      return ErrorNumber::kPortBusy;
    default:
      return ErrorNumber::kPortNotFound;
  }
}

// What a USB serial adapter reports once it was pulled out.
bool IsDeviceGone(DWORD error) {
  switch (error) {
    case ERROR_BAD_COMMAND:
    case ERROR_ACCESS_DENIED:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_REMOVED:
    case ERROR_OPERATION_ABORTED:
      return true;
    default:
      return false;
  }
}

HANDLE H(void* handle) {
  return static_cast<HANDLE>(handle);
}

}  // namespace

SerialPortWin32::SerialPortWin32(std::chrono::milliseconds writeTimeout)
    : writeTimeout_(writeTimeout) {}

SerialPortWin32::~SerialPortWin32() {
  Close();
}

std::wstring SerialPortWin32::DeviceName(int port) {
  return L"\\\\.\\COM" + std::to_wstring(port);
}

void SerialPortWin32::SetCommPort(int16_t port) {
  if (PortOpen()) throw Failure(ErrorNumber::kPortOpenNotValid);
  if (port < kLowestPort || port > kHighestPort) throw Failure(ErrorNumber::kPortInvalid);
  commPort_ = port;
}

void SerialPortWin32::SetPortOpen(bool open) {
  if (open) {
    Open();
  } else {
    Close();
    gone_ = false;
  }
}

void SerialPortWin32::Open() {
  if (PortOpen()) throw Failure(ErrorNumber::kPortAlreadyOpen);
  gone_ = false;
  HANDLE h = CreateFileW(DeviceName(commPort_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    throw Failure(OpenErrorNumber(error), Why(commPort_, error));
  }
  auto fail = [&](DWORD error) {
    CloseHandle(h);
    throw Failure(ErrorNumber::kPortSetupFailed, Why(commPort_, error));
  };
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) fail(GetLastError());
  dcb.BaudRate = kBaud;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(h, &dcb)) fail(GetLastError());
  // Reads return at once with what is there; writes give up after the
  // write timeout, so a stalled device cannot hold the host's thread.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(writeTimeout_.count());
  if (!SetCommTimeouts(h, &timeouts)) fail(GetLastError());
  // Bytes from before the open belong to no conversation of ours.
  PurgeComm(h, PURGE_RXCLEAR);
  handle_ = h;
  receivedCount_ = 0;
}

void SerialPortWin32::Close() noexcept {
  if (handle_ == nullptr) return;
  // The last frame may still be on its way: give it the write timeout to
  // leave. What is left then stays with the driver; nothing is purged.
  if (!gone_) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(writeTimeout_.count());
    for (;;) {
      DWORD errors = 0;
      COMSTAT status{};
      if (!ClearCommError(H(handle_), &errors, &status) || status.cbOutQue == 0) break;
      if (GetTickCount64() >= deadline) break;
      Sleep(2);
    }
  }
  CloseHandle(H(handle_));
  handle_ = nullptr;
  receivedCount_ = 0;
}

void SerialPortWin32::Fail(unsigned long error, std::string_view what) {
  if (IsDeviceGone(error)) {
    gone_ = true;
    Close();
    throw Failure(ErrorNumber::kPortDeviceGone, Why(commPort_, error));
  }
  throw Failure(what == "read" ? ErrorNumber::kPortReadFailed : ErrorNumber::kPortWriteFailed,
                Why(commPort_, error));
}

void SerialPortWin32::RequireOpen() const {
  if (gone_) throw Failure(ErrorNumber::kPortDeviceGone);
  if (!PortOpen()) throw Failure(ErrorNumber::kPortNotOpen);
}

void SerialPortWin32::Output(std::string_view data) {
  RequireOpen();
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(writeTimeout_.count());
  while (!data.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(data.size());
    if (!WriteFile(H(handle_), data.data(), chunk, &written, nullptr)) {
      Fail(GetLastError(), "write");
    }
    data.remove_prefix(written);
    // A write that took less timed out: the device stopped taking data.
    // The frames still queued are stale by then; each carries the whole
    // universe and the next will too.
    if (!data.empty() && (written == 0 || GetTickCount64() >= deadline)) {
      PurgeComm(H(handle_), PURGE_TXCLEAR);
      throw Failure(ErrorNumber::kPortWriteTimedOut);
    }
  }
}

void SerialPortWin32::Receive() {
  RequireOpen();
  // Clears a line error, which would stop every read until cleared.
  DWORD errors = 0;
  if (!ClearCommError(H(handle_), &errors, nullptr)) Fail(GetLastError(), "read");
  // A device that floods the line cannot keep us here: at most this much
  // is read (and what does not fit dropped) per call.
  constexpr DWORD kMostPerCall = 64 * 1024;
  std::array<char, 4096> overflow;
  for (DWORD total = 0; total < kMostPerCall;) {
    char* into = received_.data() + receivedCount_;
    DWORD room = static_cast<DWORD>(received_.size() - receivedCount_);
    const bool full = room == 0;
    if (full) into = overflow.data(), room = static_cast<DWORD>(overflow.size());
    DWORD got = 0;
    if (!ReadFile(H(handle_), into, room, &got, nullptr)) Fail(GetLastError(), "read");
    if (got == 0) return;
    if (!full) receivedCount_ += got;
    total += got;
  }
}

std::string SerialPortWin32::Input() {
  Receive();
  std::string bytes(received_.data(), receivedCount_);
  receivedCount_ = 0;
  return bytes;
}

int16_t SerialPortWin32::InBufferCount() {
  Receive();
  return static_cast<int16_t>(receivedCount_);
}

}  // namespace lumivane
