// SPDX-License-Identifier: MIT
// What the user types into the dialog's port box: any text gives a port
// number or none; a number is the whole part of the text's value (rounded
// down) and fits 16 bits; blanks around it change nothing; the number the
// dialog stores reads back as the same number, here and at the next init.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/com_port_setting.h"
#include "core/number_text.h"
#include "fuzz/fuzz_check.h"
#include "ui/port_text.h"

using namespace lumivane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<int16_t> port = ReadPortText(text);
  const std::optional<double> number = ReadDecimalNumber(text);

  if (!number) {
    FUZZ_CHECK(!port);
  } else {
    const double whole = std::floor(*number);
    const bool fits = whole >= -32768.0 && whole <= 32767.0;
    FUZZ_CHECK(port.has_value() == fits);
    if (port) {
      FUZZ_CHECK(*port <= *number && *number < *port + 1.0);
    }
  }
  FUZZ_CHECK(ReadPortText(" " + text + "\t") == port);

  if (port) {
    const std::string stored = FormatComPortSetting(*port);
    FUZZ_CHECK(ReadPortText(stored) == port);
    FUZZ_CHECK(ConvertComPortSetting(stored) == *port);
  }
  return 0;
}
