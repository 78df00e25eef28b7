// SPDX-License-Identifier: MIT
#pragma once

#include <exception>

namespace lumivane {

// Guarded steps, for the few operations built that way (the widget open,
// the port scan, the Test button): a step that fails is skipped so the
// next one runs, and a test whose evaluation fails counts as passed.
// Success is judged afterwards by reading state. Nothing else swallows
// failures.
template <typename Step>
void GuardedStep(Step&& step) {
  try {
    step();
  } catch (const std::exception&) {
    // Skipped by design.
  }
}

template <typename Test>
bool GuardedTest(Test&& test) {
  try {
    return static_cast<bool>(test());
  } catch (const std::exception&) {
    return true;
  }
}

}  // namespace lumivane
