// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/user_reports.h"

namespace lumivane::testing {

// Keeps the text of every message box and the thread that showed it.
class RecordingReports final : public UserReports {
 public:
  void ShowMessage(std::string_view text) override {
    texts.emplace_back(text);
    threads.push_back(std::this_thread::get_id());
  }

  std::vector<std::string> texts;
  std::vector<std::thread::id> threads;
};

}  // namespace lumivane::testing
