// SPDX-License-Identifier: MIT
#include "ui/user_reports_fltk.h"

#include "ui/display_fltk.h"
#include "ui/message_box_fltk.h"

namespace lumivane {

void ToolkitUserReports::ShowMessage(std::string_view text) {
  if (ToolkitDisplayIsOpen()) {
    ShowToolkitMessageBox(text);
  } else {
    fallback_.ShowMessage(text);
  }
}

}  // namespace lumivane
