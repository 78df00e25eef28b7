// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumivane {

// The stored "comPort" text as a port number: empty gives 0; a number is
// rounded half to even (2.5 -> 2, 3.5 -> 4). Throws Failure 13 for a text
// that is not a number and 6 for one outside -32768..32767.
int16_t ConvertComPortSetting(std::string_view text);

// The text stored for a port number: plain digits, "-" for negatives.
std::string FormatComPortSetting(int16_t port);

}  // namespace lumivane
