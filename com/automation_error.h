// SPDX-License-Identifier: MIT
#pragma once

#include <ole2.h>
#include <windows.h>

#include <cstdint>
#include <string_view>

namespace lumivane::com {

// A failure as automation hosts see it: the HRESULT 0x800A0000 | number
// (so a VB host's Err.Number is the number), and an IErrorInfo with the
// source and the description set on the calling thread.
HRESULT AutomationError(int32_t number, std::string_view description);
// The same for Invoke: the EXCEPINFO filled in (when given).
HRESULT DispatchException(int32_t number, std::string_view description, EXCEPINFO* info);

// Runs a call, turning whatever it throws into an automation error.
template <class Call>
HRESULT Guarded(Call&& call) noexcept;

}  // namespace lumivane::com

#include "com/automation_error.inl"
