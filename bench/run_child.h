// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace lumivane::bench {

// The child of the memory figures: makes calls SetChannel calls into a
// drained pty and prints its resident size after a tenth of them, at the
// end, and its peak. Returns the exit status.
int RunChild(uint64_t calls);

}  // namespace lumivane::bench
