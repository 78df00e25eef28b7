// SPDX-License-Identifier: MIT
#include "plugin/com_port_setting.h"

#include <cmath>

#include "plugin/failure.h"
#include "plugin/number_text.h"

namespace lumivane {

int16_t ConvertComPortSetting(std::string_view text) {
  if (text.empty()) return 0;
  const std::optional<double> number = ReadDecimalNumber(text);
  if (!number) throw Failure(ErrorNumber::kTypeMismatch);
  // Banker's rounding, whatever rounding mode the host left behind.
  const double floor = std::floor(*number);
  const double fraction = *number - floor;
  double rounded = floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded = floor + 1;
  if (rounded < -32768.0 || rounded > 32767.0) throw Failure(ErrorNumber::kOverflow);
  return static_cast<int16_t>(rounded);
}

std::string FormatComPortSetting(int16_t port) { return PlainDecimal(port); }

}  // namespace lumivane
