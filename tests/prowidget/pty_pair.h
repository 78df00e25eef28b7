// SPDX-License-Identifier: MIT
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lumivane::test {

// A bare pseudo-terminal: the test plays the device on the master side.
class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    termios line{};
    ::tcgetattr(master_, &line);
    ::cfmakeraw(&line);
    ::tcsetattr(master_, TCSANOW, &line);
    slavePath_ = name;
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& slavePath() const { return slavePath_; }
  int master() const { return master_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  void Write(std::string_view bytes) const {
    while (!bytes.empty()) {
      const ssize_t n = ::write(master_, bytes.data(), bytes.size());
      if (n <= 0) throw std::runtime_error("pty write failed");
      bytes.remove_prefix(static_cast<size_t>(n));
    }
  }

  // Reads what the port sent until `count` bytes are there or the timeout
  // passes.
  std::string Read(size_t count,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0 || (p.revents & POLLIN) == 0) continue;
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) out.append(buffer, static_cast<size_t>(n));
    }
    return out;
  }

  // Reads and drops whatever is waiting.
  void Drain() const { Read(static_cast<size_t>(-1), std::chrono::milliseconds(50)); }

 private:
  int master_ = -1;
  std::string slavePath_;
};

}  // namespace lumivane::test
