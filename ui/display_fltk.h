// SPDX-License-Identifier: MIT
#pragma once

namespace lumivane {

// Opens the X display named by DISPLAY for the toolkit, once. We open it
// ourselves because the toolkit ends the process when it cannot. False when
// there is no display to open; nothing else happens then.
bool OpenToolkitDisplay();

// True once OpenToolkitDisplay has succeeded.
bool ToolkitDisplayIsOpen();

}  // namespace lumivane
