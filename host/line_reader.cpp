// SPDX-License-Identifier: MIT
#include "host/line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace lumivane::host {

bool LineReader::TakeLine(std::string& line) {
  const size_t end = buffer_.find('\n');
  if (end == std::string::npos) {
    if (!ended_ || buffer_.empty()) return false;
    line = std::move(buffer_);
    buffer_.clear();
    return true;
  }
  line.assign(buffer_, 0, end);
  buffer_.erase(0, end + 1);
  return true;
}

LineReader::Result LineReader::Next(std::string& line, std::chrono::milliseconds wait) {
  for (;;) {
    if (TakeLine(line)) return Result::kLine;
    if (ended_) return Result::kEnd;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(wait.count()));
    if (ready == 0 || (ready < 0 && errno == EINTR)) return Result::kQuiet;
    if (ready < 0) return Result::kError;
    char chunk[4096];
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n > 0) {
      buffer_.append(chunk, static_cast<size_t>(n));
    } else if (n == 0) {
      ended_ = true;
    } else if (errno != EINTR && errno != EAGAIN) {
      return Result::kError;
    }
  }
}

}  // namespace lumivane::host
