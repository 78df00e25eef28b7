// SPDX-License-Identifier: MIT
#pragma once

class Fl_Window;

namespace lumivane {

// Asks the window manager to treat a shown window as a fixed dialog: a
// title bar with a close box only (no minimize or maximize), kept off the
// taskbar. Managers that ignore the hints simply show a plain window.
void HintFixedDialog(Fl_Window& window);

}  // namespace lumivane
