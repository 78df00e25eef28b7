// SPDX-License-Identifier: MIT
#pragma once

#include <unistd.h>

#include <utility>

namespace lumivane {

// A file descriptor with one owner, closed when the owner lets go of it.
// close() is not retried on EINTR: on Linux the descriptor is gone either way.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  explicit operator bool() const { return ok(); }

  // Gives the descriptor up without closing it.
  int release() { return std::exchange(fd_, -1); }
  // Closes the one held, if any, and holds fd instead.
  void reset(int fd = -1) {
    const int old = std::exchange(fd_, fd);
    if (old >= 0) ::close(old);
  }

 private:
  int fd_ = -1;
};

}  // namespace lumivane
