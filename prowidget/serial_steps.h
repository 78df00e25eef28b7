// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "prowidget/transmitter.h"

namespace lumivane {

// Opens comPort on the transmitter's serial component unless a port is open
// already (whatever its number). Every step is guarded, creating the
// component included; returns false when no port is open afterwards, or
// when that cannot be told.
bool OpenUnlessOpen(Transmitter& transmitter, int16_t comPort) noexcept;

}  // namespace lumivane
