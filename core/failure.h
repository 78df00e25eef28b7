// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/error_numbers.h"

namespace lumivane {

// The one failure type of the plug-in. It carries the error number the host
// sees as the call's status and a description for the user. Operations that
// pass failures up simply throw it; the C boundary turns it into a status.
class Failure : public std::runtime_error {
 public:
  Failure(int32_t number, std::string description)
      : std::runtime_error(std::move(description)), number_(number) {}
  explicit Failure(ErrorNumber number)
      : Failure(static_cast<int32_t>(number), std::string(DescribeError(number))) {}
  Failure(ErrorNumber number, std::string_view detail)
      : Failure(static_cast<int32_t>(number),
                std::string(DescribeError(number)) + ": " + std::string(detail)) {}

  int32_t number() const noexcept { return number_; }
  std::string_view description() const noexcept { return what(); }

 private:
  int32_t number_;
};

}  // namespace lumivane
