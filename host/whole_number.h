// SPDX-License-Identifier: MIT
#pragma once

#include <charconv>
#include <optional>
#include <string_view>

namespace lumivane::host {

// The whole of text as a number of type T in base, or nothing: no sign but
// '-', no blanks, nothing left over, nothing out of T's range.
template <class T>
std::optional<T> WholeNumber(std::string_view text, int base = 10) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace lumivane::host
