// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace lumivane {

// A caption as the toolkit must be given it to draw the text literally:
// '@' would otherwise start a symbol, so each one is doubled.
std::string ToolkitLabel(std::string_view text);

}  // namespace lumivane
