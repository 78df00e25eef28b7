// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>
#include <ole2.h>

namespace lumivane::com {

// A new clsOutputDriver object with one reference, as the interface riid.
HRESULT CreateDriverObject(REFIID riid, void** out);

}  // namespace lumivane::com
