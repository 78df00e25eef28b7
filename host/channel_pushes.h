// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumivane::host {

struct ChannelLevel {
  int32_t channel;
  int32_t value;
};

// "CH=VAL" or "CH VAL" (blanks around allowed): two whole numbers that fit
// 32 bits. The plug-in decides whether they are in range.
std::optional<ChannelLevel> ParseChannelLevel(std::string_view text);

}  // namespace lumivane::host
