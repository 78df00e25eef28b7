// SPDX-License-Identifier: MIT
#pragma once

namespace lumivane {

// Keeps the toolkit's library loaded for the rest of the process once the
// plug-in file has loaded it. The toolkit allocates when it is loaded and
// never frees that; unloading it with the plug-in file would lose the memory
// on every unload. Only the toolkit stays: the plug-in file still unloads.
void KeepToolkitLoaded() noexcept;

}  // namespace lumivane
