// SPDX-License-Identifier: MIT
#pragma once

#include "core/user_reports.h"

namespace lumivane {

// Modal MessageBoxW boxes with an OK button, titled with the plug-in's
// name, owned by the active window of the calling (host) thread.
class Win32UserReports final : public UserReports {
 public:
  void ShowMessage(std::string_view text) override;
};

}  // namespace lumivane
