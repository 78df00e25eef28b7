// SPDX-License-Identifier: MIT
#include "bench/pty_wire.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace lumivane::bench {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

Fd::~Fd() {
  if (fd_ >= 0) ::close(fd_);
}

Pty::Pty() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
  if (master_.get() < 0) Fail("posix_openpt");
  if (::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) Fail("unlockpt");
  std::array<char, 128> name{};
  if (::ptsname_r(master_.get(), name.data(), name.size()) != 0) Fail("ptsname_r");
  path_ = name.data();
  terminal_ = Fd(::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (terminal_.get() < 0) Fail("open " + path_);
  termios raw{};
  if (::tcgetattr(terminal_.get(), &raw) != 0) Fail("tcgetattr");
  ::cfmakeraw(&raw);
  if (::tcsetattr(terminal_.get(), TCSANOW, &raw) != 0) Fail("tcsetattr");
  nonBlocking_ = Fd(::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (nonBlocking_.get() < 0) Fail("open " + path_);
}

PtyReader::PtyReader(int fd) : fd_(fd) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) Fail("pipe2");
  stopRead_ = Fd(pipeFds[0]);
  stopWrite_ = Fd(pipeFds[1]);
  thread_ = std::thread([this] { Run(); });
}

PtyReader::~PtyReader() {
  const char stop = 1;
  [[maybe_unused]] ssize_t n = ::write(stopWrite_.get(), &stop, 1);
  thread_.join();
}

void PtyReader::Run() {
  std::array<uint8_t, 65536> buffer;
  std::array<pollfd, 2> fds{pollfd{fd_, POLLIN, 0}, pollfd{stopRead_.get(), POLLIN, 0}};
  for (;;) {
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    if (n <= 0) continue;
    bytes_.fetch_add(static_cast<uint64_t>(n), std::memory_order_release);
  }
}

void WriteAll(int fd, std::span<const uint8_t> data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("write");
    }
    data = data.subspan(static_cast<size_t>(n));
  }
}

}  // namespace lumivane::bench

namespace lumivane::bench {

void WriteAllPolling(int fd, std::span<const uint8_t> data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n > 0) {
      // After a short write the line is full: wait for room at once.
      data = data.subspan(static_cast<size_t>(n));
      if (data.empty()) return;
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      Fail("write");
    }
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 1000) < 0 && errno != EINTR) Fail("poll");
  }
}

}  // namespace lumivane::bench
