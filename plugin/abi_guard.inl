// SPDX-License-Identifier: MIT
// Implementation of GuardAbiCall; included by abi_object.h only.
#include <new>

namespace lumivane {

template <typename Body>
lv_status GuardAbiCall(Body&& body) noexcept {
  try {
    SetLastErrorDescription("");
    body();
    return 0;
  } catch (const Failure& failure) {
    try {
      SetLastErrorDescription(failure.description());
    } catch (...) {
    }
    return failure.number();
  } catch (const std::bad_alloc&) {
    SetLastErrorDescription("");
    return static_cast<lv_status>(ErrorNumber::kOutOfMemory);
  } catch (...) {
    SetLastErrorDescription("");
    return static_cast<lv_status>(ErrorNumber::kInternal);
  }
}

}  // namespace lumivane
