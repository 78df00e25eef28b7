// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/user_reports.h"

namespace lumivane::test {

// Message boxes, kept as texts, with the thread that showed each.
class RecordingReports final : public UserReports {
 public:
  void ShowMessage(std::string_view text) override {
    messages.emplace_back(text);
    threads.push_back(std::this_thread::get_id());
  }

  std::vector<std::string> messages;
  std::vector<std::thread::id> threads;
};

}  // namespace lumivane::test
