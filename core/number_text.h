// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumivane {

// A decimal number as users and settings files write it: blanks (space,
// tab) around it, an optional sign, digits with an optional fraction, an
// optional exponent. Anything else (COM3, 0x10, inf, blanks only) is not a
// number. Returns the value, which may be huge or fractional.
std::optional<double> ReadDecimalNumber(std::string_view text);

// To the nearest whole number, halves to the even neighbour (2.5 -> 2,
// 3.5 -> 4), whatever rounding mode the host left behind.
double RoundHalfToEven(double number);

// " 3", " 0", "-1": one space before a number that is not negative.
std::string SignPadded(int32_t number);
// "3", "-1".
std::string PlainDecimal(int32_t number);

}  // namespace lumivane
