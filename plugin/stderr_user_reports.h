// SPDX-License-Identifier: MIT
#pragma once

#include "core/user_reports.h"

namespace lumivane {

// Message boxes where there is no display: one line each on standard error.
class StderrUserReports final : public UserReports {
 public:
  void ShowMessage(std::string_view text) override;
};

}  // namespace lumivane
