// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace lumivane::realdriver {

// The level every channel has after fade step k: consecutive steps differ,
// and channel 512 (set last) tells when a step's whole state arrived.
inline int StepLevel(int step) {
  return step % 250 + 1;
}

// From the last call of each fade step to the first frame at the widget
// holding that step's state, on the host's clock (the guest reports each
// step's end over its control port, which adds its transit, under 1 ms).
class StateLatency {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  void AddFrame(TimePoint at, uint8_t channel1, uint8_t channel512);
  void AddStep(TimePoint at, int step);
  // "steps=N p50=.. p99=.. max=.. (ms) missing=M mixed=K": missing steps
  // never arrived, mixed ones arrived only with the next step's first
  // channels already in them.
  std::string Summary() const;

 private:
  struct Frame {
    TimePoint at;
    uint8_t first, last;
  };
  struct Step {
    TimePoint at;
    int step;
  };
  std::vector<Frame> frames_;
  std::vector<Step> steps_;
};

}  // namespace lumivane::realdriver
