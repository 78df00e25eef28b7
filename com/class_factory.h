// SPDX-License-Identifier: MIT
#pragma once

#include <ole2.h>
#include <windows.h>

namespace lumivane::com {

// The class object of clsOutputDriver: static, its reference count is the
// module's lock count only through LockServer.
IClassFactory* DriverClassFactory();

}  // namespace lumivane::com
