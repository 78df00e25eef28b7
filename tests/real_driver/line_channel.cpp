// SPDX-License-Identifier: MIT
#include "tests/real_driver/line_channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace lumivane::realdriver {

using Clock = std::chrono::steady_clock;

bool LineChannel::Send(const std::string& line) {
  const std::string bytes = line + "\n";
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{fd_.get(), POLLOUT, 0};
      ::poll(&p, 1, 100);
      continue;
    }
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::optional<std::string> LineChannel::Receive(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    if (closed_) return std::nullopt;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{fd_.get(), POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char buffer[4096];
    const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      closed_ = true;
      continue;
    }
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

UniqueFd ConnectUnix(const std::string& path, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return UniqueFd();
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  do {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.ok() &&
        ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      return fd;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (Clock::now() < deadline);
  return UniqueFd();
}

}  // namespace lumivane::realdriver
