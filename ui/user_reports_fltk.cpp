// SPDX-License-Identifier: MIT
#include "ui/user_reports_fltk.h"

#include "ui/display_fltk.h"
#include "ui/message_box_fltk.h"

namespace lumivane {

void ToolkitUserReports::ShowMessage(std::string_view text) {
  // Opens the display itself: a report made before the dialog ever opened
  // (a failing init) must still reach a user who has a screen.
  if (OpenToolkitDisplay()) {
    ShowToolkitMessageBox(text);
  } else {
    fallback_.ShowMessage(text);
  }
}

}  // namespace lumivane
