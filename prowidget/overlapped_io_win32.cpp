// SPDX-License-Identifier: MIT
#include "prowidget/overlapped_io_win32.h"

#include <new>

namespace lumivane {

OverlappedIo::OverlappedIo() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (event_ == nullptr) throw std::bad_alloc();
}

OverlappedIo::~OverlappedIo() {
  CloseHandle(event_);
}

DWORD OverlappedIo::StartWrite(HANDLE handle, std::string_view data, DWORD& done) {
  bytes_.assign(data);  // reuses its room: no allocation per frame
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = event_;
  startedAt_ = GetTickCount64();
  const BOOL finished =
      WriteFile(handle, bytes_.data(), static_cast<DWORD>(bytes_.size()), nullptr, &overlapped_);
  return Started(handle, finished, done);
}

DWORD OverlappedIo::StartRead(HANDLE handle, char* into, DWORD size, DWORD& done) {
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = event_;
  startedAt_ = GetTickCount64();
  return Started(handle, ReadFile(handle, into, size, nullptr, &overlapped_), done);
}

DWORD OverlappedIo::Started(HANDLE handle, BOOL finished, DWORD& done) {
  done = 0;
  if (!finished) {
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) return error;
    pending_ = true;
    // Some drivers answer "pending" for what they finished at once.
    const DWORD result = Wait(handle, 0, done);
    return result == ERROR_IO_INCOMPLETE ? ERROR_IO_PENDING : result;
  }
  GetOverlappedResult(handle, &overlapped_, &done, FALSE);
  return ERROR_SUCCESS;
}

DWORD OverlappedIo::Wait(HANDLE handle, DWORD ms, DWORD& done) {
  done = 0;
  if (!pending_) return ERROR_SUCCESS;
  if (WaitForSingleObject(event_, ms) != WAIT_OBJECT_0) return ERROR_IO_INCOMPLETE;
  pending_ = false;
  if (!GetOverlappedResult(handle, &overlapped_, &done, FALSE)) return GetLastError();
  return ERROR_SUCCESS;
}

void OverlappedIo::Cancel(HANDLE handle) noexcept {
  if (!pending_) return;
  // Ex: the write may have been started by another thread than this one.
  CancelIoEx(handle, &overlapped_);
  DWORD done = 0;
  GetOverlappedResult(handle, &overlapped_, &done, TRUE);
  pending_ = false;
}

}  // namespace lumivane
