// SPDX-License-Identifier: MIT
// The stored "comPort" text: any bytes give a port number, or fail with 13
// (not a number) or 6 (out of range), and the number is the nearest one,
// halves to the even neighbour.
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/com_port_setting.h"
#include "core/failure.h"
#include "core/number_text.h"
#include "fuzz/fuzz_check.h"

using namespace lumivane;

namespace {

// 13, 6, or the port.
struct Outcome {
  int32_t error = 0;
  int16_t port = 0;
  bool operator==(const Outcome&) const = default;
};

Outcome Convert(std::string_view text) {
  try {
    return {0, ConvertComPortSetting(text)};
  } catch (const Failure& failure) {
    return {failure.number(), 0};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Outcome outcome = Convert(text);
  FUZZ_CHECK(outcome.error == 0 || outcome.error == 6 || outcome.error == 13);

  const std::optional<double> number = ReadDecimalNumber(text);
  if (text.empty()) {
    FUZZ_CHECK(outcome == Outcome{});
  } else if (!number) {
    FUZZ_CHECK(outcome.error == 13);
  } else {
    FUZZ_CHECK(!std::isnan(*number));
    std::fesetround(FE_TONEAREST);
    const double nearest = std::nearbyint(*number);
    if (nearest < -32768.0 || nearest > 32767.0) {
      FUZZ_CHECK(outcome.error == 6);
    } else {
      FUZZ_CHECK(outcome.error == 0);
      FUZZ_CHECK(outcome.port == static_cast<int16_t>(nearest));
    }
  }

  if (outcome.error == 0) {
    // What OK stores reads back as the same port, blanks around it or not.
    const std::string stored = FormatComPortSetting(outcome.port);
    FUZZ_CHECK(Convert(stored) == outcome);
    FUZZ_CHECK(Convert(" " + stored + "\t") == outcome);
    FUZZ_CHECK(stored.find(' ') == std::string::npos);
  }
  // Blanks around a text never change what it reads as.
  if (!text.empty()) FUZZ_CHECK(Convert(" " + text + " ") == outcome);
  return 0;
}
