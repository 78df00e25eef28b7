// SPDX-License-Identifier: MIT
#include "core/sleeper.h"

#include <chrono>
#include <thread>

namespace lumivane {

void SystemSleeper::SleepMs(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace lumivane
