// SPDX-License-Identifier: MIT
#pragma once

#include "core/user_reports.h"

namespace lumivane {

// Message boxes of the toolkit wherever a display can be opened, whether
// or not the dialog has opened it yet; where there is none, the fallback
// (standard error).
class ToolkitUserReports final : public UserReports {
 public:
  explicit ToolkitUserReports(UserReports& fallback) : fallback_(fallback) {}
  void ShowMessage(std::string_view text) override;

 private:
  UserReports& fallback_;
};

}  // namespace lumivane
