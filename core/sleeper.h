// SPDX-License-Identifier: MIT
#pragma once

namespace lumivane {

// A blocking sleep on the calling thread; tests inject one that only counts.
class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void SleepMs(int milliseconds) = 0;
};

// The real one.
class SystemSleeper final : public Sleeper {
 public:
  void SleepMs(int milliseconds) override;
};

}  // namespace lumivane
