// SPDX-License-Identifier: MIT
// A record of the calls fakes receive, shared between fakes so a test can
// check their order, and failures scripted per call name.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/failure.h"

namespace lumivane::test {

using CallLog = std::vector<std::string>;

class ScriptedFake {
 public:
  explicit ScriptedFake(CallLog* log = nullptr) : log_(log) {}

  // Every later call named `call` throws `failure` (until cleared).
  void FailOn(std::string_view call, Failure failure) {
    failures_.insert_or_assign(std::string(call), std::move(failure));
  }
  void ClearFailures() { failures_.clear(); }

  int Count(std::string_view call) const {
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
  }
  const CallLog& calls() const { return calls_; }

 protected:
  // Records the call, then throws its scripted failure if there is one.
  void Record(std::string_view call) {
    Log(call);
    ThrowIfScripted(call);
  }
  void Log(std::string_view call) {
    calls_.emplace_back(call);
    if (log_ != nullptr) log_->emplace_back(call);
  }
  void ThrowIfScripted(std::string_view call) const {
    if (auto it = failures_.find(call); it != failures_.end()) throw it->second;
  }

 private:
  CallLog* log_;
  CallLog calls_;
  std::map<std::string, Failure, std::less<>> failures_;
};

}  // namespace lumivane::test
