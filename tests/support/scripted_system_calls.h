// SPDX-License-Identifier: MIT
// Interrupts, short writes and failures on cue: redirects the system calls
// of posix/system_calls.h while it lives. Each redirected call plays the
// turns scripted for it, one a call, then keeps to the last `then`.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <deque>
#include <limits>
#include <mutex>
#include <vector>

#include "posix/system_calls.h"

namespace lumivane::test {

class ScriptedSystemCalls {
 public:
  enum Call { kRead, kWrite, kPoll, kFlock, kFsync, kRename, kCallCount };

  // One call's turn: the real call (on at most `most` bytes, for read and
  // write), or a failure with `error` that never reaches the system.
  struct Turn {
    int error = 0;
    size_t most = std::numeric_limits<size_t>::max();
  };
  static Turn Real() { return {}; }
  static Turn Fail(int error) { return {error}; }
  static Turn AtMost(size_t bytes) { return {0, bytes}; }

  // One at a time; install it before the threads that make the calls start.
  ScriptedSystemCalls() : calls_(Redirected(this)), scope_(calls_) {}
  ScriptedSystemCalls(const ScriptedSystemCalls&) = delete;
  ScriptedSystemCalls& operator=(const ScriptedSystemCalls&) = delete;

  void Script(Call call, std::vector<Turn> turns, Turn then = Real()) {
    std::lock_guard lock(mutex_);
    plans_[call].turns.assign(turns.begin(), turns.end());
    plans_[call].then = then;
  }
  // The calls made so far, whatever their turn.
  int Count(Call call) const {
    std::lock_guard lock(mutex_);
    return plans_[call].count;
  }

 private:
  struct Plan {
    std::deque<Turn> turns;
    Turn then;
    int count = 0;
  };

  static ScriptedSystemCalls*& Active() {
    static ScriptedSystemCalls* active = nullptr;
    return active;
  }
  static Turn Next(Call call) {
    ScriptedSystemCalls& self = *Active();
    std::lock_guard lock(self.mutex_);
    Plan& plan = self.plans_[call];
    ++plan.count;
    if (plan.turns.empty()) return plan.then;
    const Turn turn = plan.turns.front();
    plan.turns.pop_front();
    return turn;
  }
  // Runs `real` unless the turn fails the call.
  template <class Real>
  static auto Play(Call call, Real&& real) -> decltype(real(size_t{})) {
    const Turn turn = Next(call);
    if (turn.error != 0) {
      errno = turn.error;
      return -1;
    }
    return real(turn.most);
  }

  static sys::Calls Redirected(ScriptedSystemCalls* self) {
    Active() = self;
    sys::Calls calls = sys::kRealCalls;
    calls.read = [](int fd, void* into, size_t size) {
      return Play(
          kRead, [&](size_t most) { return sys::kRealCalls.read(fd, into, std::min(size, most)); });
    };
    calls.write = [](int fd, const void* data, size_t size) {
      return Play(kWrite, [&](size_t most) {
        return sys::kRealCalls.write(fd, data, std::min(size, most));
      });
    };
    calls.poll = [](pollfd* fds, nfds_t count, int timeoutMs) {
      return Play(kPoll, [&](size_t) { return sys::kRealCalls.poll(fds, count, timeoutMs); });
    };
    calls.flock = [](int fd, int operation) {
      return Play(kFlock, [&](size_t) { return sys::kRealCalls.flock(fd, operation); });
    };
    calls.fsync = [](int fd) {
      return Play(kFsync, [&](size_t) { return sys::kRealCalls.fsync(fd); });
    };
    calls.rename = [](const char* from, const char* to) {
      return Play(kRename, [&](size_t) { return sys::kRealCalls.rename(from, to); });
    };
    return calls;
  }

  mutable std::mutex mutex_;
  Plan plans_[kCallCount];
  const sys::Calls calls_;
  sys::ScopedCalls scope_;
};

}  // namespace lumivane::test
