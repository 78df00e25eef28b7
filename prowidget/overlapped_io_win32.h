// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace lumivane {

// One read or write on a handle opened for overlapped I/O: its OVERLAPPED,
// its event and, for a write, its own copy of the bytes, which the driver
// may use until it completes. So a write can outlive the call that started
// it; whoever owns this must not let it go while pending() (Cancel first).
//
// Results are Windows error codes: ERROR_SUCCESS with `done` bytes,
// ERROR_IO_PENDING (started, not finished), ERROR_IO_INCOMPLETE (still
// pending after a wait), or the operation's own failure, after which it is
// over.
class OverlappedIo {
 public:
  OverlappedIo();
  ~OverlappedIo();
  OverlappedIo(const OverlappedIo&) = delete;
  OverlappedIo& operator=(const OverlappedIo&) = delete;

  bool pending() const { return pending_; }
  // The bytes of the last write started.
  size_t size() const { return bytes_.size(); }
  // GetTickCount64() when the operation started.
  ULONGLONG startedAt() const { return startedAt_; }

  DWORD StartWrite(HANDLE handle, std::string_view data, DWORD& done);
  DWORD StartRead(HANDLE handle, char* into, DWORD size, DWORD& done);
  // Waits at most `ms` for the pending operation.
  DWORD Wait(HANDLE handle, DWORD ms, DWORD& done);
  // Cancels the pending operation and waits until the driver gives it
  // back (drivers complete a cancelled request at once).
  void Cancel(HANDLE handle) noexcept;

 private:
  DWORD Started(HANDLE handle, BOOL finished, DWORD& done);

  OVERLAPPED overlapped_{};
  HANDLE event_ = nullptr;
  std::string bytes_;
  bool pending_ = false;
  ULONGLONG startedAt_ = 0;
};

}  // namespace lumivane
