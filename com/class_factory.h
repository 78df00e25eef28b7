// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>
#include <ole2.h>

namespace lumivane::com {

// The class object of clsOutputDriver: static, its reference count is the
// module's lock count only through LockServer.
IClassFactory* DriverClassFactory();

}  // namespace lumivane::com
