// SPDX-License-Identifier: MIT
#include "prowidget/serial_port_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/failure.h"
#include "posix/system_calls.h"
#include "prowidget/serial_line_linux.h"

namespace lumivane {
namespace {

using SteadyClock = std::chrono::steady_clock;

std::string Why(const std::string& path, int error) {
  return path + ": " + std::strerror(error);
}

ErrorNumber OpenErrorNumber(int error) {
  switch (error) {
    case EBUSY:
    case EWOULDBLOCK:
      return ErrorNumber::kPortBusy;
    case EACCES:
    case EPERM:
      return ErrorNumber::kPortAccessDenied;
    default:
      return ErrorNumber::kPortNotFound;
  }
}

bool IsHangUp(int error) {
  return error == EIO || error == ENXIO || error == ENODEV;
}

}  // namespace

SerialPortPosix::SerialPortPosix(PortMap ports, std::chrono::milliseconds writeTimeout)
    : ports_(std::move(ports)), writeTimeout_(writeTimeout) {}

SerialPortPosix::~SerialPortPosix() {
  Close();
}

void SerialPortPosix::SetCommPort(int16_t port) {
  if (PortOpen()) throw Failure(ErrorNumber::kPortOpenNotValid);
  PortMap::CheckNumber(port);
  commPort_ = port;
}

void SerialPortPosix::SetPortOpen(bool open) {
  if (open) {
    Open();
    return;
  }
  const bool delivered = Close();
  gone_ = false;
  if (!delivered) {
    throw Failure(ErrorNumber::kPortWriteTimedOut, "the port was closed with bytes left unsent");
  }
}

void SerialPortPosix::Open() {
  if (PortOpen()) throw Failure(ErrorNumber::kPortAlreadyOpen);
  gone_ = false;
  const std::string path = ports_.DevicePath(commPort_).string();
  UniqueFd fd(sys::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.ok()) {
    const int error = errno;
    throw Failure(OpenErrorNumber(error), Why(path, error));
  }
  if (sys::isatty(fd.get()) != 1) throw Failure(ErrorNumber::kPortNotFound, path + ": not a tty");
  // TIOCEXCL keeps out other openers (but not root); the lock keeps out
  // every opener that plays by the same rules, root included.
  if (sys::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    throw Failure(ErrorNumber::kPortBusy, Why(path, errno));
  }
  if (sys::ioctl(fd.get(), TIOCEXCL) != 0) {
    throw Failure(ErrorNumber::kPortSetupFailed, Why(path, errno));
  }
  if (const int error = lumivane_serial_set_line(fd.get(), kBaud); error != 0) {
    sys::ioctl(fd.get(), TIOCNXCL);
    throw Failure(ErrorNumber::kPortSetupFailed, Why(path, error));
  }
  // Our own close bounds the drain; the driver's would wait up to 30 s.
  lumivane_serial_no_closing_wait(fd.get());
  // Bytes from before the open belong to no conversation of ours.
  lumivane_serial_flush(fd.get(), LUMIVANE_SERIAL_INPUT);
  fd_ = std::move(fd);
  receivedCount_ = 0;
}

bool SerialPortPosix::Close() noexcept {
  if (!fd_.ok()) return true;
  // The last frames may still be on their way: give them the write timeout
  // to leave. Only what a stalled device left queued is dropped, and what a
  // gone device left, so that close() never waits as long as the driver
  // likes. A flush otherwise would discard what the far end has not read
  // yet: on a pty that is everything in flight, and the queue there always
  // reads 0.
  const SteadyClock::time_point deadline = SteadyClock::now() + writeTimeout_;
  int queued = 0;
  bool stalled = false;
  while (!gone_ && sys::ioctl(fd_.get(), TIOCOUTQ, &queued) == 0 && queued > 0) {
    if (SteadyClock::now() >= deadline) {
      stalled = true;
      break;
    }
    sys::poll(nullptr, 0, 2);
  }
  if (stalled || gone_) lumivane_serial_flush(fd_.get(), LUMIVANE_SERIAL_OUTPUT);
  sys::ioctl(fd_.get(), TIOCNXCL);
  fd_.reset();
  receivedCount_ = 0;
  return !stalled;
}

void SerialPortPosix::DeviceGone(std::string_view what) {
  gone_ = true;
  Close();
  throw Failure(ErrorNumber::kPortDeviceGone, what);
}

void SerialPortPosix::RequireOpen() const {
  if (gone_) throw Failure(ErrorNumber::kPortDeviceGone);
  if (!PortOpen()) throw Failure(ErrorNumber::kPortNotOpen);
}

void SerialPortPosix::Output(std::string_view data) {
  RequireOpen();
  const SteadyClock::time_point deadline = SteadyClock::now() + writeTimeout_;
  while (!data.empty()) {
    const ssize_t n = sys::write(fd_.get(), data.data(), data.size());
    if (n > 0) {
      data.remove_prefix(static_cast<size_t>(n));
      // A short write means the line is full: writing again at once would
      // only fail with EAGAIN, so wait for room first.
      if (data.empty()) break;
    } else {
      const int error = n < 0 ? errno : EAGAIN;
      if (error == EINTR) continue;
      if (IsHangUp(error)) DeviceGone(std::strerror(error));
      if (error != EAGAIN) throw Failure(ErrorNumber::kPortWriteFailed, std::strerror(error));
    }

    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    if (left.count() <= 0) {
      // Frames still queued are stale by the time the device takes data
      // again: each one carries the whole universe, and the next will too.
      lumivane_serial_flush(fd_.get(), LUMIVANE_SERIAL_OUTPUT);
      throw Failure(ErrorNumber::kPortWriteTimedOut);
    }
    pollfd p{fd_.get(), POLLOUT, 0};
    const int ready = sys::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR)
      throw Failure(ErrorNumber::kPortWriteFailed, std::strerror(errno));
    if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) DeviceGone("hung up");
  }
}

size_t SerialPortPosix::OutputQueueBytes() {
  int queued = 0;
  if (!fd_.ok() || sys::ioctl(fd_.get(), TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
  return static_cast<size_t>(queued);
}

size_t SerialPortPosix::OutputWithoutWaiting(std::string_view data) {
  RequireOpen();
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = sys::write(fd_.get(), data.data() + sent, data.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    const int error = n < 0 ? errno : EAGAIN;
    if (error == EINTR) continue;
    if (error == EAGAIN) break;
    if (IsHangUp(error)) DeviceGone(std::strerror(error));
    throw Failure(ErrorNumber::kPortWriteFailed, std::strerror(error));
  }
  return sent;
}

void SerialPortPosix::Receive() {
  RequireOpen();
  // A device that floods the line cannot keep us here: at most this many
  // bytes are read (and dropped) per call.
  constexpr size_t kMostDroppedPerCall = 64 * 1024;
  std::array<char, 4096> overflow;
  size_t dropped = 0;
  while (dropped < kMostDroppedPerCall) {
    char* into = received_.data() + receivedCount_;
    size_t room = received_.size() - receivedCount_;
    const bool full = room == 0;
    if (full) into = overflow.data(), room = overflow.size();
    const ssize_t n = sys::read(fd_.get(), into, room);
    if (n > 0) {
      if (full) {
        dropped += static_cast<size_t>(n);
      } else {
        receivedCount_ += static_cast<size_t>(n);
      }
      continue;
    }
    if (n == 0) {
      // No data, or a line that was hung up: only poll tells them apart.
      pollfd p{fd_.get(), POLLIN, 0};
      if (sys::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        DeviceGone("hung up");
      }
      return;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return;
    if (IsHangUp(errno)) DeviceGone(std::strerror(errno));
    throw Failure(ErrorNumber::kPortReadFailed, std::strerror(errno));
  }
}

std::string SerialPortPosix::Input() {
  Receive();
  std::string bytes(received_.data(), receivedCount_);
  receivedCount_ = 0;
  return bytes;
}

int16_t SerialPortPosix::InBufferCount() {
  Receive();
  return static_cast<int16_t>(receivedCount_);
}

}  // namespace lumivane
