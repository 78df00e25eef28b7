// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <utility>

namespace lumivane::bench {

// An owned file descriptor.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept;
  ~Fd();
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

// A pseudo-terminal standing in for a serial line: the plug-in (or a raw
// writer) opens the terminal side by path, the bench reads the other side.
// The bench holds one terminal-side descriptor itself, in raw mode, so the
// line never hangs up while the plug-in closes and reopens its port.
class Pty {
 public:
  Pty();  // throws std::runtime_error
  int master() const { return master_.get(); }
  int terminal() const { return terminal_.get(); }
  // A second terminal-side descriptor, opened with O_NONBLOCK.
  int nonBlockingTerminal() const { return nonBlocking_.get(); }
  const std::string& path() const { return path_; }

 private:
  Fd master_;
  std::string path_;
  Fd terminal_;
  Fd nonBlocking_;
};

// A thread that drains the reading side of a pty as fast as it can.
class PtyReader {
 public:
  explicit PtyReader(int fd);
  ~PtyReader();  // stops and joins
  PtyReader(const PtyReader&) = delete;
  PtyReader& operator=(const PtyReader&) = delete;

  uint64_t bytes() const { return bytes_.load(std::memory_order_acquire); }

 private:
  void Run();

  int fd_;
  Fd stopRead_;
  Fd stopWrite_;
  std::atomic<uint64_t> bytes_{0};
  std::thread thread_;
};

// Writes all of data to fd (blocking), or throws.
void WriteAll(int fd, std::span<const uint8_t> data);
// The same on a non-blocking descriptor, waiting in poll(2) whenever the
// line is full: what a writer that must be able to time out has to do.
void WriteAllPolling(int fd, std::span<const uint8_t> data);

}  // namespace lumivane::bench
