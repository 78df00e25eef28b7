// SPDX-License-Identifier: MIT
#include "prowidget/serial_port_win32.h"

#include <windows.h>

#include <algorithm>
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

// What a USB serial adapter reports once it was pulled out; Wine reports
// a tty that hung up (EIO) as not ready.
bool IsDeviceGone(DWORD error) {
  switch (error) {
    case ERROR_NOT_READY:
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

// How a driver's own write timeout may come back (some report the
// timeout status as a failure, not as a short write).
bool IsTimeout(DWORD error) {
  return error == WAIT_TIMEOUT || error == ERROR_TIMEOUT || error == ERROR_SEM_TIMEOUT;
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
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
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
  // Reads return at once with what is there; the driver ends a write after
  // the write timeout too, beside our own wait for it.
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
  // leave. Then a write still pending is cancelled; what the driver queued
  // stays with it, nothing is purged.
  if (!gone_) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(writeTimeout_.count());
    if (write_.pending()) {
      const ULONGLONG now = GetTickCount64();
      DWORD done = 0;
      write_.Wait(H(handle_), now < deadline ? static_cast<DWORD>(deadline - now) : 0, done);
    }
    while (!write_.pending()) {
      DWORD errors = 0;
      COMSTAT status{};
      if (!ClearCommError(H(handle_), &errors, &status) || status.cbOutQue == 0) break;
      if (GetTickCount64() >= deadline) break;
      Sleep(2);
    }
  }
  write_.Cancel(H(handle_));
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

void SerialPortWin32::Written(DWORD result, DWORD done, size_t size) {
  if (result != ERROR_SUCCESS && !IsTimeout(result)) Fail(result, "write");
  // A write that took less timed out in the driver: the device stopped
  // taking data. The frames still queued are stale by then; each carries
  // the whole universe and the next will too.
  if (done < size) {
    PurgeComm(H(handle_), PURGE_TXCLEAR);
    throw Failure(ErrorNumber::kPortWriteTimedOut);
  }
}

void SerialPortWin32::FinishWrite() {
  if (!write_.pending()) return;
  const ULONGLONG deadline = write_.startedAt() + static_cast<ULONGLONG>(writeTimeout_.count());
  const ULONGLONG now = GetTickCount64();
  DWORD done = 0;
  const DWORD result =
      write_.Wait(H(handle_), now < deadline ? static_cast<DWORD>(deadline - now) : 0, done);
  if (result == ERROR_IO_INCOMPLETE) {
    write_.Cancel(H(handle_));
    PurgeComm(H(handle_), PURGE_TXCLEAR);
    throw Failure(ErrorNumber::kPortWriteTimedOut);
  }
  Written(result, done, write_.size());
}

void SerialPortWin32::Output(std::string_view data) {
  RequireOpen();
  FinishWrite();
  DWORD done = 0;
  const DWORD result = write_.StartWrite(H(handle_), data, done);
  if (result == ERROR_IO_PENDING) {
    FinishWrite();
  } else {
    Written(result, done, data.size());
  }
}

size_t SerialPortWin32::OutputWithoutWaiting(std::string_view data) {
  RequireOpen();
  if (write_.pending()) {
    DWORD done = 0;
    const DWORD result = write_.Wait(H(handle_), 0, done);
    // The line has not taken the last write yet: it takes nothing now.
    if (result == ERROR_IO_INCOMPLETE) {
      // Unless that write outlived the write timeout: then it fails here.
      if (GetTickCount64() - write_.startedAt() >= static_cast<ULONGLONG>(writeTimeout_.count())) {
        FinishWrite();
      }
      return 0;
    }
    Written(result, done, write_.size());
  }
  DWORD done = 0;
  const DWORD result = write_.StartWrite(H(handle_), data, done);
  // Pending, the write is the driver's and ours until it completes; the
  // next write waits for it and hears of its failure.
  if (result != ERROR_IO_PENDING) Written(result, done, data.size());
  return data.size();
}

size_t SerialPortWin32::OutputQueueBytes() {
  if (!PortOpen()) return 0;
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(H(handle_), &errors, &status)) return 0;
  return status.cbOutQue;
}

void SerialPortWin32::Receive() {
  RequireOpen();
  // A device that floods the line cannot keep us here: at most this much
  // is read (and what does not fit dropped) per call.
  constexpr DWORD kMostPerCall = 64 * 1024;
  std::array<char, 4096> overflow;
  for (DWORD total = 0; total < kMostPerCall;) {
    // Also clears a line error, which would stop every read until cleared.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(H(handle_), &errors, &status)) Fail(GetLastError(), "read");
    if (status.cbInQue == 0) return;
    char* into = received_.data() + receivedCount_;
    DWORD room = static_cast<DWORD>(received_.size() - receivedCount_);
    const bool full = room == 0;
    if (full) into = overflow.data(), room = static_cast<DWORD>(overflow.size());
    // Only what is there: an overlapped read may otherwise stay pending
    // for more, whatever the read timeouts say.
    DWORD got = 0;
    DWORD result = read_.StartRead(H(handle_), into, std::min(room, status.cbInQue), got);
    if (result == ERROR_IO_PENDING) {
      result = read_.Wait(H(handle_), static_cast<DWORD>(writeTimeout_.count()), got);
      if (result == ERROR_IO_INCOMPLETE) {
        read_.Cancel(H(handle_));
        throw Failure(ErrorNumber::kPortReadFailed, Why(commPort_, WAIT_TIMEOUT));
      }
    }
    if (result != ERROR_SUCCESS) Fail(result, "read");
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
