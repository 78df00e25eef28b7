// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace lumivane {

// Modal message boxes with one OK button and no title of their own. The
// answer is never used: ShowMessage returns once the user dismissed it.
class UserReports {
 public:
  virtual ~UserReports() = default;
  virtual void ShowMessage(std::string_view text) = 0;
};

}  // namespace lumivane
