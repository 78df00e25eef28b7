// SPDX-License-Identifier: MIT
#pragma once

#include <ole2.h>
#include <windows.h>

namespace lumivane::com {

// A new clsOutputDriver object with one reference, as the interface riid.
HRESULT CreateDriverObject(REFIID riid, void** out);

}  // namespace lumivane::com
