// SPDX-License-Identifier: MIT
#pragma once

#include <ole2.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "core/host_object.h"

namespace lumivane::com {

// Arguments of a call by name as hosts send them: by value (VT_I2, VT_I4,
// VT_R8, VT_BSTR ...), by reference (VT_BYREF|VT_I4 ...) or as a reference
// to a variant (VT_BYREF|VT_VARIANT, what a script host passes for a
// variable). They convert as the Linux call by name does: numbers round
// half to even (2.5 gives 2), a text must read as a decimal number ("7"
// gives 7). Throw Failure 13 for a type that does not convert, 6 for a
// number out of range. Nothing is ever written through a reference.
int32_t LongArgument(const VARIANT& arg);
std::string TextArgument(const VARIANT& arg);
// A counted reference to the host's object; Nothing and an empty argument
// give none.
std::unique_ptr<HostObject> ObjectArgument(const VARIANT& arg);

// A counted reference to a host object, released when destroyed.
std::unique_ptr<HostObject> HostReference(IUnknown* object);

}  // namespace lumivane::com
