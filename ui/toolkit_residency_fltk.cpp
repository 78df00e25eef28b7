// SPDX-License-Identifier: MIT
#include "ui/toolkit_residency_fltk.h"

#include <FL/Fl.H>
#include <dlfcn.h>

namespace lumivane {

void KeepToolkitLoaded() noexcept {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&Fl::version), &info) == 0 || info.dli_fname == nullptr) {
    return;  // linked in statically: nothing to keep
  }
  // The handle is never closed, and NODELETE keeps the library past dlclose.
  ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace lumivane
