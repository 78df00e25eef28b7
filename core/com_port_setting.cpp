// SPDX-License-Identifier: MIT
#include "core/com_port_setting.h"

#include "core/failure.h"
#include "core/number_text.h"

namespace lumivane {

int16_t ConvertComPortSetting(std::string_view text) {
  if (text.empty()) return 0;
  const std::optional<double> number = ReadDecimalNumber(text);
  if (!number) throw Failure(ErrorNumber::kTypeMismatch);
  const double rounded = RoundHalfToEven(*number);
  if (rounded < -32768.0 || rounded > 32767.0) throw Failure(ErrorNumber::kOverflow);
  return static_cast<int16_t>(rounded);
}

std::string FormatComPortSetting(int16_t port) {
  return PlainDecimal(port);
}

}  // namespace lumivane
