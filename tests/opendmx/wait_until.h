// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <thread>

namespace lumivane::test {

// Polls until the condition holds; false if it did not within five seconds.
template <typename Condition>
bool WaitUntil(Condition&& condition) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

}  // namespace lumivane::test
