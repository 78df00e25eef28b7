// SPDX-License-Identifier: MIT
#pragma once

#include <new>

#include "core/failure.h"

namespace lumivane::com {

template <class Call>
HRESULT Guarded(Call&& call) noexcept {
  try {
    SetErrorInfo(0, nullptr);
    call();
    return S_OK;
  } catch (const Failure& failure) {
    return AutomationError(failure.number(), failure.description());
  } catch (const std::bad_alloc&) {
    return AutomationError(static_cast<int32_t>(ErrorNumber::kOutOfMemory),
                           DescribeError(ErrorNumber::kOutOfMemory));
  } catch (...) {
    return AutomationError(static_cast<int32_t>(ErrorNumber::kInternal),
                           DescribeError(ErrorNumber::kInternal));
  }
}

}  // namespace lumivane::com
