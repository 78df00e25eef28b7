// SPDX-License-Identifier: MIT
#include "plugin/stderr_user_reports.h"

#include <cstdio>

namespace lumivane {

void StderrUserReports::ShowMessage(std::string_view text) {
  std::fprintf(stderr, "lumivane: %.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

}  // namespace lumivane
