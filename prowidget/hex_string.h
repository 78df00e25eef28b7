// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace lumivane {

// Each byte as upper-case hexadecimal without leading zeros, each followed
// by one space: "7E 6 1 0 0 E7 ". Empty text for empty input.
std::string ToHexString(std::string_view text);
// The same, appended to out, which grows at most once.
void AppendHexString(std::string& out, std::string_view text);

}  // namespace lumivane
