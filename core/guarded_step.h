// SPDX-License-Identifier: MIT
#pragma once

#include <exception>

namespace lumivane {

// The two halves of a guarded sequence (the widget open, the port scan, the
// dialog's Test): a step that fails is skipped and the next one runs, and a
// test whose evaluation fails counts as passed. The sequence judges success
// afterwards by reading state. Nothing else swallows failures.
template <class Step>
void GuardedStep(Step&& step) noexcept {
  try {
    step();
  } catch (const std::exception&) {
  }
}

template <class Test>
bool GuardedTest(Test&& test) noexcept {
  try {
    return static_cast<bool>(test());
  } catch (const std::exception&) {
    return true;
  }
}

}  // namespace lumivane
