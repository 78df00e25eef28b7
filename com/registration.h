// SPDX-License-Identifier: MIT
#pragma once

#include <ole2.h>
#include <windows.h>

namespace lumivane::com {

// Where a registration goes: HKLM\Software\Classes (machine-wide, needs an
// administrator) or HKCU\Software\Classes (this user only).
enum class Scope { kMachine, kUser };

// The CLSID with InprocServer32 (this DLL's path, apartment threaded), the
// ProgID and the type library.
HRESULT RegisterServer(Scope scope);
// Removes what RegisterServer added. The ProgID and type library keys are
// shared by the 32- and 64-bit registry views: the ProgID goes only once
// no view holds our CLSID, and the type library only our bitness's part.
HRESULT UnregisterServer(Scope scope);

}  // namespace lumivane::com
