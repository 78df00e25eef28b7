// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace lumivane::bench {

// "2026-12-10 08:20 UTC, 2 cpus (AMD EPYC), Linux 6.1.0-18-amd64, load
// average 3.10 at the start": the date and the machine a table came from.
std::string MachineDescription();

}  // namespace lumivane::bench
