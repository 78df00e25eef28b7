// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

namespace lumivane::bench {

// The child of the memory figures: drives the plug-in for frames
// SetChannel calls into a drained pty and prints its resident size after a
// tenth of them and at the end. Returns the exit status.
int RunMemoryChild(size_t frames);

}  // namespace lumivane::bench
