// SPDX-License-Identifier: MIT
#include "core/number_text.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace lumivane {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Checks the grammar ourselves: from_chars alone would take "inf" and "nan".
bool IsDecimalGrammar(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == s.size();
}

}  // namespace

std::optional<double> ReadDecimalNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (!IsDecimalGrammar(text)) return std::nullopt;
  // from_chars takes no leading '+'.
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Too large to hold, or so small it is zero; either way the sign decides.
    const bool tiny = text.find_first_of("eE") != std::string_view::npos &&
                      text[text.find_first_of("eE") + 1] == '-';
    if (tiny) return 0.0;
    return text.front() == '-' ? -1e308 : 1e308;
  }
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

double RoundHalfToEven(double number) {
  const double floor = std::floor(number);
  const double fraction = number - floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) return floor + 1;
  return floor;
}

std::string SignPadded(int32_t number) {
  return number < 0 ? std::to_string(number) : " " + std::to_string(number);
}

std::string PlainDecimal(int32_t number) {
  return std::to_string(number);
}

}  // namespace lumivane
