// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include "core/sleeper.h"

namespace lumivane::test {

class CountingSleeper final : public Sleeper {
 public:
  void SleepMs(int milliseconds) override { sleeps.push_back(milliseconds); }
  std::vector<int> sleeps;
};

}  // namespace lumivane::test
