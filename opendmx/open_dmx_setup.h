// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

#include "opendmx/d2xx.h"

namespace lumivane {

// Sets a freshly opened Open DMX USB up for DMX512: reset, 250000 baud
// (divisor 12), 8 data bits, 2 stop bits, no parity, no flow control, RTS
// dropped so the RS-485 driver sends, both buffers purged. Stops at the
// first step that fails and returns its message; empty when all succeeded.
// The handle stays open either way.
std::string_view SetUpForDmx(D2xx& d2xx, FT_HANDLE handle);

// Opens device 0 and sets it up, silently: the handle, or 0 when it did not
// open or a step failed (a handle it opened is then closed again).
FT_HANDLE OpenForDmx(D2xx& d2xx);

}  // namespace lumivane
