// SPDX-License-Identifier: MIT
#include "ui/port_text.h"

#include <cmath>

#include "core/number_text.h"

namespace lumivane {

std::optional<int16_t> ReadPortText(std::string_view text) {
  const std::optional<double> number = ReadDecimalNumber(text);
  if (!number) return std::nullopt;
  const double whole = std::floor(*number);
  if (!(whole >= -32768.0 && whole <= 32767.0)) return std::nullopt;
  return static_cast<int16_t>(whole);
}

}  // namespace lumivane
