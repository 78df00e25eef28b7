// SPDX-License-Identifier: MIT
#pragma once

#include "core/user_reports.h"

namespace lumivane {

// Message boxes of the toolkit once the dialog has opened the display;
// before that, or where there is none, the fallback (standard error).
class ToolkitUserReports final : public UserReports {
 public:
  explicit ToolkitUserReports(UserReports& fallback) : fallback_(fallback) {}
  void ShowMessage(std::string_view text) override;

 private:
  UserReports& fallback_;
};

}  // namespace lumivane
