// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumivane {

// The port number the user typed into the dialog's port box: a decimal
// number with blanks around it allowed and any fraction rounded down
// (2.9 -> 2, -0.5 -> -1). Empty when the text is not a number or its whole
// part does not fit 16 bits signed.
std::optional<int16_t> ReadPortText(std::string_view text);

}  // namespace lumivane
