// SPDX-License-Identifier: MIT
// Implementation of GuardAbiCall; included by abi_object.h only.
#include <exception>
#include <new>
#include <string>

namespace lumivane {
namespace detail {

// Recording the description must not throw out of a catch block: without
// memory the status alone goes back.
inline void RecordDescription(std::string_view head, std::string_view detail = {}) noexcept {
  try {
    if (detail.empty()) {
      SetLastErrorDescription(head);
    } else {
      SetLastErrorDescription(std::string(head) + ": " + std::string(detail));
    }
  } catch (...) {
  }
}

}  // namespace detail

template <typename Body>
lv_status GuardAbiCall(Body&& body) noexcept {
  try {
    SetLastErrorDescription("");
    body();
    return 0;
  } catch (const Failure& failure) {
    detail::RecordDescription(failure.description());
    return failure.number();
  } catch (const std::bad_alloc&) {
    detail::RecordDescription(DescribeError(ErrorNumber::kOutOfMemory));
    return static_cast<lv_status>(ErrorNumber::kOutOfMemory);
  } catch (const std::exception& error) {
    detail::RecordDescription(DescribeError(ErrorNumber::kInternal), error.what());
    return static_cast<lv_status>(ErrorNumber::kInternal);
  } catch (...) {
    detail::RecordDescription(DescribeError(ErrorNumber::kInternal));
    return static_cast<lv_status>(ErrorNumber::kInternal);
  }
}

}  // namespace lumivane
