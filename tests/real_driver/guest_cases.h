// SPDX-License-Identifier: MIT
#pragma once

#include "tests/real_driver/guest_session.h"

namespace lumivane::realdriver {

void RunProCases(GuestSession& g, int saturatedRounds);
void RunOpenDmxCases(GuestSession& g);
// Figures, not checks: the state latency and the line's use.
void RunProBench(GuestSession& g, int pacedRate);

}  // namespace lumivane::realdriver
