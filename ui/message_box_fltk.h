// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace lumivane {

// A modal box with the text and one "OK" button, centred on the screen.
// Returns when the user dismissed it. The display must be open.
void ShowToolkitMessageBox(std::string_view text);

inline constexpr const char* kMessageBoxOk = "OK";

}  // namespace lumivane
