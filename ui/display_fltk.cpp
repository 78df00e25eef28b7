// SPDX-License-Identifier: MIT
#include "ui/display_fltk.h"

#include <FL/Fl.H>
#include <FL/x.H>

namespace lumivane {

bool OpenToolkitDisplay() {
  if (fl_display != nullptr) return true;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  fl_open_display(display);
  return true;
}

bool ToolkitDisplayIsOpen() {
  return fl_display != nullptr;
}

}  // namespace lumivane
