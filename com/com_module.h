// SPDX-License-Identifier: MIT
#pragma once

#include <ole2.h>
#include <windows.h>

#include <string>

#include "core/output_driver.h"

namespace lumivane::com {

// What the DLL keeps for as long as it is loaded: its module handle, the
// count of live objects and server locks, and the one plug-in they share.
void SetModule(HMODULE module);
HMODULE Module();
std::wstring ModulePath();
// "<file base name>.clsOutputDriver": a renamed file registers the name a
// host expects.
std::wstring ProgId();

// The shared plug-in, made on first use. Throws std::bad_alloc.
Plugin& SharedPlugin();
void ObjectCreated();
void ObjectDestroyed();
void Lock(bool lock);
// When no object and no lock remains: destroys the plug-in (stopping its
// threads, closing its devices) and returns true.
bool UnloadIfUnused();

}  // namespace lumivane::com
