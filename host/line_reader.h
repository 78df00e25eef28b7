// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <string>

namespace lumivane::host {

// Lines from a file descriptor, waiting for input no longer than asked, so
// that the caller can look at other things while a pipe is quiet. A last
// line without a line feed counts as a line. Does not own the descriptor.
class LineReader {
 public:
  enum class Result { kLine, kQuiet, kEnd, kError };
  explicit LineReader(int fd) : fd_(fd) {}
  // The next line, without its line feed; kQuiet when none came in time.
  Result Next(std::string& line, std::chrono::milliseconds wait);

 private:
  bool TakeLine(std::string& line);
  int fd_;
  std::string buffer_;
  bool ended_ = false;
};

}  // namespace lumivane::host
