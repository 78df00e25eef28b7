// SPDX-License-Identifier: MIT
#pragma once

#include <ole2.h>
#include <windows.h>

namespace lumivane::com {

// The type library embedded in the DLL (resource TYPELIB 1), loaded on
// first use without registering anything.
HRESULT InterfaceTypeInfo(ITypeInfo** info);
HRESULT LoadOwnTypeLibrary(ITypeLib** library);

}  // namespace lumivane::com
