// SPDX-License-Identifier: MIT
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <atomic>
#include <cstddef>

namespace lumivane::sys {

// The system calls whose interrupts, short writes and failures the serial
// port and the settings store handle, behind one table so that a test can
// make them happen on cue. Code calls the wrappers below, which read like
// the calls they stand for; the table holds the real calls unless a test
// has put its own in (ScopedCalls).
struct Calls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*read)(int fd, void* into, size_t size);
  ssize_t (*write)(int fd, const void* data, size_t size);
  int (*poll)(pollfd* fds, nfds_t count, int timeoutMs);
  int (*ioctl)(int fd, unsigned long request, void* argument);
  int (*isatty)(int fd);
  int (*flock)(int fd, int operation);
  int (*mkstemp)(char* pattern);
  int (*fchmod)(int fd, mode_t mode);
  int (*fsync)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
};

// The real ones.
extern const Calls kRealCalls;

namespace detail {
inline std::atomic<const Calls*> current{&kRealCalls};
}  // namespace detail

inline const Calls& Current() {
  return *detail::current.load(std::memory_order_acquire);
}

// For tests: every call goes through `calls` while this lives, then through
// what was there before. Install it before the threads that make the calls
// start, and keep `calls` alive as long.
class ScopedCalls {
 public:
  explicit ScopedCalls(const Calls& calls)
      : previous_(detail::current.exchange(&calls, std::memory_order_acq_rel)) {}
  ~ScopedCalls() { detail::current.store(previous_, std::memory_order_release); }
  ScopedCalls(const ScopedCalls&) = delete;
  ScopedCalls& operator=(const ScopedCalls&) = delete;

 private:
  const Calls* previous_;
};

inline int open(const char* path, int flags, mode_t mode = 0) {
  return Current().open(path, flags, mode);
}
inline ssize_t read(int fd, void* into, size_t size) {
  return Current().read(fd, into, size);
}
inline ssize_t write(int fd, const void* data, size_t size) {
  return Current().write(fd, data, size);
}
inline int poll(pollfd* fds, nfds_t count, int timeoutMs) {
  return Current().poll(fds, count, timeoutMs);
}
inline int ioctl(int fd, unsigned long request, void* argument = nullptr) {
  return Current().ioctl(fd, request, argument);
}
inline int isatty(int fd) {
  return Current().isatty(fd);
}
inline int flock(int fd, int operation) {
  return Current().flock(fd, operation);
}
inline int mkstemp(char* pattern) {
  return Current().mkstemp(pattern);
}
inline int fchmod(int fd, mode_t mode) {
  return Current().fchmod(fd, mode);
}
inline int fsync(int fd) {
  return Current().fsync(fd);
}
inline int rename(const char* from, const char* to) {
  return Current().rename(from, to);
}
inline int unlink(const char* path) {
  return Current().unlink(path);
}

}  // namespace lumivane::sys
