// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "opendmx/d2xx.h"

namespace lumivane {

// The D2XX calls over libftdi1. Device numbers count the FTDI 0403:6001
// devices on the USB buses. Thread-safe.
std::unique_ptr<D2xx> CreateLibftdiD2xx();

}  // namespace lumivane
