// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "posix/unique_fd.h"

namespace lumivane::realdriver {

// Newline-ended text lines over a descriptor: the guest's control port
// (its second serial port) on one side, QEMU's chardev socket or QMP on the
// other. Reads never block longer than asked; writes finish the line.
class LineChannel {
 public:
  LineChannel() = default;
  explicit LineChannel(UniqueFd fd) : fd_(std::move(fd)) {}

  bool ok() const { return fd_.ok(); }
  int fd() const { return fd_.get(); }

  // False when the other side is gone.
  bool Send(const std::string& line);
  // The next whole line (without its end), or nothing when none came within
  // the timeout or the other side is gone (then closed() turns true).
  std::optional<std::string> Receive(std::chrono::milliseconds timeout);
  bool closed() const { return closed_; }

 private:
  UniqueFd fd_;
  std::string pending_;
  bool closed_ = false;
};

// Connects to a Unix socket, retrying until the timeout (QEMU makes its
// sockets a little after it starts). An invalid descriptor on failure.
UniqueFd ConnectUnix(const std::string& path, std::chrono::milliseconds timeout);

}  // namespace lumivane::realdriver
