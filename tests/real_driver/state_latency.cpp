// SPDX-License-Identifier: MIT
#include "tests/real_driver/state_latency.h"

#include <algorithm>
#include <cstdio>

namespace lumivane::realdriver {

void StateLatency::AddFrame(TimePoint at, uint8_t channel1, uint8_t channel512) {
  frames_.push_back({at, channel1, channel512});
}

void StateLatency::AddStep(TimePoint at, int step) {
  steps_.push_back({at, step});
}

std::string StateLatency::Summary() const {
  std::vector<double> ms;
  size_t missing = 0, mixed = 0;
  auto from = frames_.begin();
  for (size_t i = 0; i < steps_.size(); ++i) {
    const int level = StepLevel(steps_[i].step);
    // The state may reach the widget before the step's report reaches us:
    // look from the previous step's report on.
    const TimePoint since = i == 0 ? TimePoint() : steps_[i - 1].at;
    from = std::find_if(from, frames_.end(), [&](const Frame& f) { return f.at >= since; });
    const auto held =
        std::find_if(from, frames_.end(), [&](const Frame& f) { return f.last == level; });
    if (held == frames_.end()) {
      ++missing;
      continue;
    }
    if (held->first != level) ++mixed;
    ms.push_back(
        std::max(0.0, std::chrono::duration<double, std::milli>(held->at - steps_[i].at).count()));
  }
  std::sort(ms.begin(), ms.end());
  const auto at = [&](double q) {
    return ms.empty() ? 0.0 : ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1))];
  };
  char text[200];
  std::snprintf(text, sizeof text, "steps=%zu p50=%.2f p99=%.2f max=%.2f missing=%zu mixed=%zu",
                steps_.size(), at(0.5), at(0.99), ms.empty() ? 0.0 : ms.back(), missing, mixed);
  return text;
}

}  // namespace lumivane::realdriver
